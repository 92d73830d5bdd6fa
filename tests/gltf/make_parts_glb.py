"""Writes a small glTF face of several parts, as Blender exports one, with the standard library
alone (an independent writer, not the program's):

    make_parts_glb.py OUT.glb

- mesh "head", on a node turned a quarter turn about -Y: a sphere of radius 1 cut into two
  primitives with vertices of their own, the left half (x < 0 before the turn, z < 0 after)
  with material "skin" (a plain red base colour) and the right half, in front, with material
  "eye", whose base colour is a PNG texture through TEXCOORD_0, green in its upper half and
  yellow in its lower one (v runs down the image: the sphere's top is green), and one
  triangle wound against its normals;
- mesh "hat", on a node moved up by 1.5 and scaled by 0.5: a cone of one primitive without
  material.

Y is up, as glTF wants. Prints, as JSON, what the file holds in the frame of the nodes applied:
every part's vertices in order, its triangle count and material, for the checks to compare.
"""
import json
import math
import struct
import sys
import zlib


def png(width, height, top, bottom):
    """A PNG file whose upper half is of colour top, its lower half of colour bottom."""
    rows = [b"\x00" + bytes(top if y < height // 2 else bottom) * width for y in range(height)]
    raw = b"".join(rows)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw))
            + chunk(b"IEND", b""))


def sphere_half(right, rings=8, segments=8):
    """The half of a unit sphere with x >= 0 (right) or x <= 0: positions, normals, uvs,
    triangles."""
    positions, uvs = [], []
    for i in range(rings + 1):
        theta = math.pi * i / rings
        for j in range(segments + 1):
            phi = math.pi * j / segments + (-math.pi / 2 if right else math.pi / 2)
            positions.append((math.sin(theta) * math.cos(phi), math.cos(theta),
                              -math.sin(theta) * math.sin(phi)))
            uvs.append((j / segments, i / rings))
    triangles = []
    for i in range(rings):
        for j in range(segments):
            a, b = i * (segments + 1) + j, (i + 1) * (segments + 1) + j
            triangles += [(a, b, a + 1), (a + 1, b, b + 1)]
    return positions, list(positions), uvs, triangles


def cone(segments=12):
    positions = [(0.0, 1.0, 0.0)]
    for j in range(segments):
        a = 2 * math.pi * j / segments
        positions.append((math.cos(a), 0.0, -math.sin(a)))
    triangles = [(0, 1 + j, 1 + (j + 1) % segments) for j in range(segments)]
    return positions, triangles


class Glb:
    def __init__(self):
        self.binary = bytearray()
        self.views, self.accessors = [], []

    def view(self, data):
        self.views.append({"buffer": 0, "byteOffset": len(self.binary), "byteLength": len(data)})
        self.binary += data + b"\x00" * ((4 - len(data) % 4) % 4)
        return len(self.views) - 1

    def floats(self, rows, kind):
        flat = [c for row in rows for c in row]
        accessor = {"bufferView": self.view(struct.pack("<%df" % len(flat), *flat)),
                    "componentType": 5126, "count": len(rows), "type": kind}
        if kind == "VEC3":
            accessor["min"] = [min(r[c] for r in rows) for c in range(3)]
            accessor["max"] = [max(r[c] for r in rows) for c in range(3)]
        self.accessors.append(accessor)
        return len(self.accessors) - 1

    def indices(self, triangles):
        flat = [i for t in triangles for i in t]
        self.accessors.append({"bufferView": self.view(struct.pack("<%dH" % len(flat), *flat)),
                               "componentType": 5123, "count": len(flat), "type": "SCALAR"})
        return len(self.accessors) - 1


def main():
    out = sys.argv[1]
    glb = Glb()
    parts = []
    primitives = []
    for material, right in ((0, False), (1, True)):
        positions, normals, uvs, triangles = sphere_half(right)
        if right:
            # One triangle wound against its normals, as a fold of a scan gives.
            triangles[9] = triangles[9][::-1]
        attributes = {"POSITION": glb.floats(positions, "VEC3"),
                      "NORMAL": glb.floats(normals, "VEC3")}
        if material == 1:
            attributes["TEXCOORD_0"] = glb.floats(uvs, "VEC2")
        primitives.append({"attributes": attributes, "indices": glb.indices(triangles),
                           "material": material})
        # The node turns x to z and z to -x: a quarter turn about -Y.
        turned = [(-p[2], p[1], p[0]) for p in positions]
        parts.append({"mesh": "head", "material": ["skin", "eye"][material],
                      "points": turned, "triangles": len(triangles)})
    hat_positions, hat_triangles = cone()
    hat = {"attributes": {"POSITION": glb.floats(hat_positions, "VEC3")},
           "indices": glb.indices(hat_triangles)}
    parts.append({"mesh": "hat", "material": None,
                  "points": [(0.5 * p[0], 1.5 + 0.5 * p[1], 0.5 * p[2]) for p in hat_positions],
                  "triangles": len(hat_triangles)})
    image = glb.view(png(4, 4, (20, 200, 40), (230, 220, 20)))
    half = math.sqrt(0.5)
    document = {
        "asset": {"version": "2.0", "generator": "make_parts_glb.py"},
        "scene": 0,
        "scenes": [{"nodes": [0, 1]}],
        "nodes": [{"name": "head", "mesh": 0, "rotation": [0, -half, 0, half]},
                  {"name": "hat", "mesh": 1, "translation": [0, 1.5, 0], "scale": [0.5, 0.5, 0.5]}],
        "meshes": [{"name": "head", "primitives": primitives},
                   {"name": "hat", "primitives": [hat]}],
        "materials": [{"name": "skin", "pbrMetallicRoughness": {
                          "baseColorFactor": [0.8, 0.1, 0.1, 1.0], "metallicFactor": 0}},
                      {"name": "eye", "pbrMetallicRoughness": {
                          "baseColorTexture": {"index": 0}, "metallicFactor": 0}}],
        "textures": [{"source": 0}],
        "images": [{"bufferView": image, "mimeType": "image/png"}],
        "accessors": glb.accessors,
        "bufferViews": glb.views,
        "buffers": [{"byteLength": len(glb.binary)}],
    }
    text = json.dumps(document).encode()
    text += b" " * ((4 - len(text) % 4) % 4)
    body = (struct.pack("<II", len(text), 0x4E4F534A) + text
            + struct.pack("<II", len(glb.binary), 0x004E4942) + bytes(glb.binary))
    with open(out, "wb") as f:
        f.write(struct.pack("<III", 0x46546C67, 2, 12 + len(body)) + body)
    print(json.dumps({"parts": parts}))


main()
