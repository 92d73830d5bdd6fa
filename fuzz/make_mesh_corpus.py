#!/usr/bin/python3
"""Writes the seed corpus of fuzz_mesh_reader: a small sphere exported by the
toolkit's own writers in every format the program reads, each file behind the
byte that selects its format (0 .vtk, 1 .ply, 2 .obj, 3 .stl)."""
import os
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
