#!/usr/bin/python3
"""Warps a mesh with vtkCompactSplineTransform and writes it.

    PYTHONPATH=<prefix>/lib/python3/dist-packages examples/warp_mesh.py [in.vtk] [out.vtk]

Without an input mesh it warps a sphere. The landmarks are sampled from the mesh itself: a ring of
anchors (source = target) holds the lower half, and the points of the upper cap move outwards,
so the cap swells and the rest of the mesh stays where it is.
"""
import sys

import vtk
import animation


def read_mesh(path):
    if path is None:
        sphere = vtk.vtkSphereSource()
        sphere.SetThetaResolution(120)
        sphere.SetPhiResolution(120)
        sphere.Update()
        return sphere.GetOutput()
    reader = vtk.vtkPolyDataReader()
    reader.SetFileName(path)
    reader.Update()
    return reader.GetOutput()


def main():
    mesh = read_mesh(sys.argv[1] if len(sys.argv) > 1 else None)
    bounds = mesh.GetBounds()
    size = max(bounds[1] - bounds[0], bounds[3] - bounds[2], bounds[5] - bounds[4])
    middle = 0.5 * (bounds[4] + bounds[5])

    source, target = vtk.vtkPoints(), vtk.vtkPoints()
    step = max(1, mesh.GetNumberOfPoints() // 400)
    for i in range(0, mesh.GetNumberOfPoints(), step):
        x, y, z = mesh.GetPoint(i)
        source.InsertNextPoint(x, y, z)
        lift = 0.15 * max(0.0, z - middle)  # zero on the lower half: anchors there
        target.InsertNextPoint(x * (1 + lift / size), y * (1 + lift / size), z + lift)

    warp = animation.vtkCompactSplineTransform()
    warp.SetSourceLandmarks(source)
    warp.SetTargetLandmarks(target)
    warp.SetSupportRadius(0.25 * size)  # several landmarks within reach of every point

    warped = vtk.vtkTransformPolyDataFilter()
    warped.SetInputData(mesh)
    warped.SetTransform(warp)
    writer = vtk.vtkPolyDataWriter()
    writer.SetInputConnection(warped.GetOutputPort())
    writer.SetFileName(sys.argv[2] if len(sys.argv) > 2 else "warped.vtk")
    writer.Write()
    print("%d landmarks, %d points written to %s"
          % (source.GetNumberOfPoints(), mesh.GetNumberOfPoints(), writer.GetFileName()))


if __name__ == "__main__":
    main()
