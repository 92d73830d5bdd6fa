#!/usr/bin/python3
"""Blends two expressions of a mesh with vtkExpressionTransform and writes the result.

    PYTHONPATH=<prefix>/lib/python3/dist-packages examples/blend_expressions.py [out.vtk]

The mesh is a sphere; landmarks are sampled from it. The expression "swell" lifts the upper cap,
"squint" pushes the front in; both share their sources, so one factorisation serves them. The
mesh is written at half the swell and all of the squint.
"""
import sys

import vtk
import animation


def main():
    sphere = vtk.vtkSphereSource()
    sphere.SetThetaResolution(120)
    sphere.SetPhiResolution(120)
    sphere.Update()
    mesh = sphere.GetOutput()

    source, swell, squint = vtk.vtkPoints(), vtk.vtkPoints(), vtk.vtkPoints()
    for i in range(0, mesh.GetNumberOfPoints(), 30):
        x, y, z = mesh.GetPoint(i)
        source.InsertNextPoint(x, y, z)
        swell.InsertNextPoint(x, y, z + 0.1 * max(0.0, z))
        squint.InsertNextPoint(x, y + 0.08 * max(0.0, -y), z)

    blend = animation.vtkExpressionTransform()
    blend.SetSupportRadius(0.3)
    blend.AddExpression("swell", source, swell)
    blend.AddExpression("squint", source, squint)
    blend.SetWeight("swell", 0.5)
    blend.SetWeight("squint", 1.0)

    warped = vtk.vtkTransformPolyDataFilter()
    warped.SetInputData(mesh)
    warped.SetTransform(blend)
    writer = vtk.vtkPolyDataWriter()
    writer.SetInputConnection(warped.GetOutputPort())
    writer.SetFileName(sys.argv[1] if len(sys.argv) > 1 else "blended.vtk")
    writer.Write()
    print("%d expressions from %d factorisation(s), %d points written to %s"
          % (blend.GetNumberOfExpressions(), blend.GetNumberOfFactorisations(),
             mesh.GetNumberOfPoints(), writer.GetFileName()))


if __name__ == "__main__":
    main()
