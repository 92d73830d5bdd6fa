#!/usr/bin/python3
"""Times the fit and the evaluation of a 100,000-point mesh with vtkCompactSplineTransform and with
the toolkit's vtkThinPlateSplineTransform on the same 1000 landmarks.

    PYTHONPATH=<prefix>/lib/python3/dist-packages examples/time_against_thin_plate.py
"""
import random
import time

import vtk
import animation


def sphere_mesh(points):
    """A UV sphere of radius 1 with about the given number of points."""
    sphere = vtk.vtkSphereSource()
    sphere.SetThetaResolution(int(points ** 0.5 * 1.6))
    sphere.SetPhiResolution(int(points ** 0.5 / 1.6))
    sphere.Update()
    return sphere.GetOutput()


def landmarks(mesh, count):
    """count mesh points as sources, moved by a smooth field."""
    rng = random.Random(1)
    source, target = vtk.vtkPoints(), vtk.vtkPoints()
    for i in rng.sample(range(mesh.GetNumberOfPoints()), count):
        x, y, z = mesh.GetPoint(i)
        source.InsertNextPoint(x, y, z)
        target.InsertNextPoint(x + 0.03 * y * z, y - 0.02 * x, z + 0.04 * x * y)
    return source, target


def timed(transform, mesh):
    """Seconds of the fit alone, then of warping the mesh with it (one filter update)."""
    start = time.perf_counter()
    transform.Update()
    fitted = time.perf_counter()
    warp = vtk.vtkTransformPolyDataFilter()
    warp.SetInputData(mesh)
    warp.SetTransform(transform)
    warp.Update()
    return fitted - start, time.perf_counter() - fitted, warp.GetOutput()


def main():
    mesh = sphere_mesh(100000)
    source, target = landmarks(mesh, 1000)

    compact = animation.vtkCompactSplineTransform()
    compact.SetSupportRadius(0.35)  # about 30 landmarks within reach of every point
    thin_plate = vtk.vtkThinPlateSplineTransform()
    thin_plate.SetBasisToR()  # the 3D thin-plate kernel
    for transform in (compact, thin_plate):
        transform.SetSourceLandmarks(source)
        transform.SetTargetLandmarks(target)

    print("%d mesh points, %d landmarks" % (mesh.GetNumberOfPoints(), source.GetNumberOfPoints()))
    results = {}
    for name, transform in (("vtkCompactSplineTransform", compact),
                            ("vtkThinPlateSplineTransform", thin_plate)):
        fit, evaluation, results[name] = timed(transform, mesh)
        print("%-28s fit %8.4f s   evaluation %8.4f s" % (name, fit, evaluation))

    # A new blend factor only rescales the cached displacement.
    compact.SetBlendFactor(0.5)
    start = time.perf_counter()
    warp = vtk.vtkTransformPolyDataFilter()
    warp.SetInputData(mesh)
    warp.SetTransform(compact)
    warp.Update()
    print("%-28s blend 0.5 from the cache %8.4f s" % ("vtkCompactSplineTransform",
                                                     time.perf_counter() - start))


if __name__ == "__main__":
    main()
