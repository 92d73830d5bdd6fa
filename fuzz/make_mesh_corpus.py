#!/usr/bin/python3
"""Writes the seed corpus of fuzz_mesh_reader: a small sphere exported by the
toolkit's own writers in every format the program reads, each file behind the
byte that selects its format (0 .vtk, 1 .ply, 2 .obj, 3 .stl, 4 .gltf); and
glTF files of one triangle whose buffer is a data: uri, or a file outside the
glTF's folder with an image there too."""
import base64
import json
import os
import struct
import sys
import tempfile

import vtk

folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus", "fuzz_mesh_reader")
os.makedirs(folder, exist_ok=True)

sphere = vtk.vtkSphereSource()
sphere.SetThetaResolution(5)
sphere.SetPhiResolution(4)
sphere.Update()
mesh = vtk.vtkPolyData()
mesh.DeepCopy(sphere.GetOutput())


def legacy(binary):
    writer = vtk.vtkPolyDataWriter()
    writer.SetFileTypeToBinary() if binary else writer.SetFileTypeToASCII()
    return writer


def ply(binary):
    writer = vtk.vtkPLYWriter()
    writer.SetFileTypeToBinary() if binary else writer.SetFileTypeToASCII()
    return writer


def stl(binary):
    writer = vtk.vtkSTLWriter()
    writer.SetFileTypeToBinary() if binary else writer.SetFileTypeToASCII()
    return writer


exports = [("legacy-ascii", 0, legacy(False)), ("legacy-binary", 0, legacy(True)),
           ("ply-ascii", 1, ply(False)), ("ply-binary", 1, ply(True)),
           ("obj", 2, vtk.vtkOBJWriter()),
           ("stl-ascii", 3, stl(False)), ("stl-binary", 3, stl(True))]
with tempfile.TemporaryDirectory() as work:
    for name, selector, writer in exports:
        path = os.path.join(work, name + (".vtk", ".ply", ".obj", ".stl")[selector])
        writer.SetInputData(mesh)
        writer.SetFileName(path)
        writer.Write()
        with open(path, "rb") as exported, open(os.path.join(folder, name), "wb") as seed:
            seed.write(bytes([selector]) + exported.read())


def triangle_gltf(buffer_uri, image_uri=None):
    document = {
        "asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"mesh": 0}],
        "meshes": [{"primitives": [{"attributes": {"POSITION": 0}}]}],
        "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
                       "min": [0, 0, 0], "max": [1, 1, 0]}],
        "bufferViews": [{"buffer": 0, "byteLength": 36}],
        "buffers": [{"byteLength": 36, "uri": buffer_uri}]}
    if image_uri:
        document["images"] = [{"uri": image_uri}]
    return json.dumps(document).encode()


triangle = base64.b64encode(struct.pack("<9f", 0, 0, 0, 1, 0, 0, 0, 1, 0)).decode()
for name, text in [("gltf-data-uri", triangle_gltf("data:application/octet-stream;base64," + triangle)),
                   ("gltf-external-uris", triangle_gltf("../../../../../../etc/passwd", "/etc/hostname"))]:
    with open(os.path.join(folder, name), "wb") as seed:
        seed.write(bytes([4]) + text)
