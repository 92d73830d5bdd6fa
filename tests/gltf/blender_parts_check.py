"""Imports the program's .glb of a face of several parts with Blender's own glTF importer and
checks it against what the input file held (make_parts_glb.py's JSON):

    blender --background --factory-startup --python-exit-code 1 \
        --python tests/gltf/blender_parts_check.py -- RUN.glb SHAPE.glb PARTS.json

- every mesh of the input is an object, with the input's vertices in their order at their
  places at rest, and its triangles;
- the head keeps its two materials, "eye" with its base colour texture (green above yellow)
  and "skin" red;
- the face stands upright: the hat is above the head in Blender's Z up;
- every mesh has the shape key "default", and the exported shape (SHAPE.glb) is that key.

Blender turns glTF's Y up into its Z up: glTF's (x, y, z) is Blender's (x, -z, y). Prints one
line per fact and exits with status 1 (through --python-exit-code) when one fails.
"""
import json
import sys

# Debian's Blender 3.4 importer still uses numpy.bool, which NumPy 1.24 removed.
import numpy

numpy.bool = bool

import bpy  # noqa: E402

failures = []


def check(fact, holds):
    print("blender: %s: %s" % ("ok" if holds else "FAILED", fact))
    if not holds:
        failures.append(fact)


def blender_frame(p):
    return (p[0], -p[2], p[1])


def import_meshes(path):
    bpy.ops.wm.read_factory_settings(use_empty=True)
    bpy.ops.import_scene.gltf(filepath=path)
    return {o.name: o for o in bpy.data.objects if o.type == "MESH"}


def largest_gap(mesh, matrix, expected, key=None):
    points = [matrix @ (key.data[i].co if key else v.co) for i, v in enumerate(mesh.vertices)]
    return max(max(abs(a - b) for a, b in zip(p, q)) for p, q in zip(points, expected))


def main():
    run, shape, parts_file = sys.argv[sys.argv.index("--") + 1:][:3]
    parts = json.load(open(parts_file))["parts"]
    expected = {}
    for part in parts:
        entry = expected.setdefault(part["mesh"], {"points": [], "triangles": 0})
        entry["points"] += [blender_frame(p) for p in part["points"]]
        entry["triangles"] += part["triangles"]

    objects = import_meshes(run)
    check("the meshes are %s" % sorted(expected), sorted(objects) == sorted(expected))
    keyed = {}
    for name, entry in expected.items():
        obj = objects.get(name)
        if obj is None:
            continue
        mesh = obj.data
        check("%s has %d vertices (%d)" % (name, len(entry["points"]), len(mesh.vertices)),
              len(mesh.vertices) == len(entry["points"]))
        check("%s has %d triangles (%d)" % (name, entry["triangles"], len(mesh.polygons)),
              len(mesh.polygons) == entry["triangles"])
        if len(mesh.vertices) == len(entry["points"]):
            gap = largest_gap(mesh, obj.matrix_world, entry["points"])
            check("%s's vertices are the input's, in order (largest gap %.2g)" % (name, gap),
                  gap < 1e-5)
        keys = mesh.shape_keys.key_blocks if mesh.shape_keys else {}
        check("%s has the shape key default" % name, "default" in keys)
        if "default" in keys:
            keyed[name] = [obj.matrix_world @ k.co for k in keys["default"].data]
    moved = largest_gap(objects["head"].data, objects["head"].matrix_world, keyed["head"]) \
        if "head" in keyed else 0
    check("the shape key default moves the head (by up to %.2g)" % moved, moved > 0.1)

    head = objects.get("head")
    if head is not None:
        materials = {m.name: m for m in head.data.materials}
        check("head's materials are eye and skin (%s)" % sorted(materials),
              sorted(materials) == ["eye", "skin"])
        used = {head.data.materials[p.material_index].name for p in head.data.polygons}
        check("both materials have triangles", used == {"eye", "skin"})
        eye = materials.get("eye")
        images = [n.image for n in eye.node_tree.nodes if n.type == "TEX_IMAGE"] if eye else []
        check("eye's base colour is a texture", len(images) == 1 and images[0] is not None)
        if images and images[0] is not None:
            # Blender's pixels start at the bottom row.
            pixels = images[0].pixels
            bottom, top = list(pixels[:3]), list(pixels[len(pixels) - 4:len(pixels) - 1])
            check("its image is green above yellow (%s, %s)"
                  % ([round(c, 2) for c in top], [round(c, 2) for c in bottom]),
                  top[1] > 0.5 and top[0] < 0.2 and bottom[0] > 0.5 and bottom[1] > 0.5
                  and bottom[2] < 0.2)
        skin = materials.get("skin")
        if skin:
            colour = skin.node_tree.nodes["Principled BSDF"].inputs["Base Color"].default_value
            check("skin is red", colour[0] > 0.5 and colour[1] < 0.2)
    hat = objects.get("hat")
    if head is not None and hat is not None:
        top = max((head.matrix_world @ v.co).z for v in head.data.vertices)
        bottom = min((hat.matrix_world @ v.co).z for v in hat.data.vertices)
        check("the hat stands above the head (%.3g above %.3g)" % (bottom, top), bottom > top)

    objects = import_meshes(shape)
    for name, points in keyed.items():
        obj = objects.get(name)
        gap = largest_gap(obj.data, obj.matrix_world, points) if obj else float("inf")
        check("the exported shape's %s is the shape key default (largest gap %.2g)" % (name, gap),
              gap < 1e-5)
    if failures:
        raise SystemExit("%d facts do not hold" % len(failures))


main()
