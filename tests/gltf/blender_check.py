"""Imports a .glb with Blender's own glTF importer and checks the face at the end of its
animation against the program's last frame (animated_shape.vtk, legacy ASCII).

    blender --background --factory-startup --python-exit-code 1 \
        --python tests/gltf/blender_check.py -- FILE.glb animated_shape.vtk

Blender turns glTF's Y up back into Z up, so its coordinates are the scene's own. The importer
may reorder vertices, so every vertex of the imported face must lie within 1e-4 of a point of the
last frame, and the counts must agree. Exits with status 1 (through --python-exit-code) when not.
"""
import math
import sys

# Debian's Blender 3.4 importer still uses numpy.bool, which NumPy 1.24 removed.
import numpy

numpy.bool = bool

import bpy  # noqa: E402
from mathutils import Vector, kdtree  # noqa: E402


def legacy_points(path):
    words = open(path).read().split()
    start = words.index("POINTS")
    count = int(words[start + 1])
    values = [float(w) for w in words[start + 3:start + 3 + 3 * count]]
    return [Vector(values[3 * i:3 * i + 3]) for i in range(count)]


def main():
    glb, last = sys.argv[sys.argv.index("--") + 1:][:2]
    bpy.ops.wm.read_factory_settings(use_empty=True)
    bpy.ops.import_scene.gltf(filepath=glb)
    face = bpy.data.objects["face"]
    keys = face.data.shape_keys
    action = keys.animation_data.action
    end = max(point.co[0] for curve in action.fcurves for point in curve.keyframe_points)
    bpy.context.scene.frame_set(math.ceil(end))  # held after the last key
    depsgraph = bpy.context.evaluated_depsgraph_get()
    evaluated = face.evaluated_get(depsgraph)
    mesh = evaluated.to_mesh()
    expected = legacy_points(last)
    tree = kdtree.KDTree(len(expected))
    for i, p in enumerate(expected):
        tree.insert(p, i)
    tree.balance()
    largest = 0.0
    for vertex in mesh.vertices:
        _, _, distance = tree.find(face.matrix_world @ vertex.co)
        largest = max(largest, distance)
    print("blender: %d vertices, %d expected, largest distance %.3g at frame %g"
          % (len(mesh.vertices), len(expected), largest, end))
    if len(mesh.vertices) != len(expected) or largest > 1e-4:
        raise SystemExit("the imported face at the end of the animation is not the last frame")


main()
