"""The Python package: the import beside the toolkit's own, and vtkCompactSplineTransform in an
ordinary vtkTransformPolyDataFilter pipeline (run by ctest with Debian's /usr/bin/python3)."""
import math
import unittest

import vtk
import animation


def landmarks_on_sphere(count, radius):
    """A Fibonacci lattice on a sphere and targets moved by a smooth field."""
    source, target = vtk.vtkPoints(), vtk.vtkPoints()
    golden = math.pi * (3.0 - math.sqrt(5.0))
    for i in range(count):
        z = 1.0 - (2.0 * i + 1.0) / count
        rho = math.sqrt(1.0 - z * z)
        p = (radius * rho * math.cos(golden * i), radius * rho * math.sin(golden * i), radius * z)
        source.InsertNextPoint(p)
        target.InsertNextPoint(p[0] + 0.05 * math.sin(2.0 * p[1]), p[1], p[2] * 1.05)
    return source, target


class CompactSplineTransformPipeline(unittest.TestCase):
    def setUp(self):
        self.sphere = vtk.vtkSphereSource()
        self.sphere.SetRadius(1.0)
        self.sphere.SetThetaResolution(60)
        self.sphere.SetPhiResolution(60)
        self.source, self.target = landmarks_on_sphere(400, 1.0)
        self.transform = animation.vtkCompactSplineTransform()
        self.transform.SetSourceLandmarks(self.source)
        self.transform.SetTargetLandmarks(self.target)
        self.warp = vtk.vtkTransformPolyDataFilter()
        self.warp.SetInputConnection(self.sphere.GetOutputPort())
        self.warp.SetTransform(self.transform)

    def test_the_class_is_a_toolkit_warp_transform(self):
        self.assertTrue(self.transform.IsA("vtkWarpTransform"))
        self.assertIsInstance(self.transform, vtk.vtkAbstractTransform)
        self.assertEqual(self.transform.GetSupportRadius(), 0.5)
        self.assertIn("SupportRadius: 0.5", str(self.transform))

    def test_landmarks_land_on_their_targets(self):
        for k in range(0, 400, 37):
            moved = self.transform.TransformPoint(self.source.GetPoint(k))
            for a, b in zip(moved, self.target.GetPoint(k)):
                self.assertAlmostEqual(a, b, delta=2e-5)
        self.assertTrue(self.transform.IsFitted())
        # The refined fit says how far it misses, relative to the largest landmark move.
        self.assertLess(self.transform.GetFitResidual(), 1e-6)
        self.assertEqual(self.transform.GetFitError(), "")

    def test_filter_follows_the_blend_factor(self):
        self.warp.Update()
        mesh = self.warp.GetOutput()
        input_points = self.sphere.GetOutput().GetPoints()
        self.assertEqual(mesh.GetNumberOfPoints(), input_points.GetNumberOfPoints())
        full = [mesh.GetPoint(i) for i in range(mesh.GetNumberOfPoints())]
        normals = mesh.GetPointData().GetNormals()
        self.assertIsNotNone(normals)
        self.assertAlmostEqual(math.sqrt(sum(c * c for c in normals.GetTuple3(17))), 1.0, places=5)
        # Every point agrees with the single-point path.
        for i in range(0, len(full), 97):
            single = self.transform.TransformPoint(input_points.GetPoint(i))
            for a, b in zip(single, full[i]):
                self.assertAlmostEqual(a, b, places=6)

        self.transform.SetBlendFactor(0.0)
        self.warp.Update()
        for i in range(0, len(full), 97):
            self.assertEqual(self.warp.GetOutput().GetPoint(i), input_points.GetPoint(i))
        self.assertGreater(max(abs(a - b) for i in range(len(full))
                               for a, b in zip(full[i], input_points.GetPoint(i))), 0.04)

    def test_inverse_undoes_the_warp(self):
        point = (0.3, -0.5, 0.7)
        moved = self.transform.TransformPoint(point)
        back = self.transform.GetInverse().TransformPoint(moved)
        for a, b in zip(point, back):
            self.assertAlmostEqual(a, b, places=5)

    def test_landmarks_in_one_plane_fit_and_the_polynomial_can_be_left_out(self):
        errors = []
        self.transform.AddObserver("ErrorEvent", lambda caller, event: errors.append(event))
        planar = vtk.vtkPoints()
        shifted = vtk.vtkPoints()
        for i in range(10):
            planar.InsertNextPoint(0.1 * i, 0.1 * (i % 3), 0.0)
            shifted.InsertNextPoint(0.1 * i + 0.05, 0.1 * (i % 3), 0.0)
        self.transform.SetSourceLandmarks(planar)
        self.transform.SetTargetLandmarks(shifted)
        self.transform.SetKernelToWendland()
        # The shift is affine: a point far from every landmark follows it.
        far = self.transform.TransformPoint(5.0, 5.0, 5.0)
        for a, b in zip(far, (5.05, 5.0, 5.0)):
            self.assertAlmostEqual(a, b, places=5)
        self.transform.SetPolynomial(False)
        self.assertEqual(self.transform.TransformPoint(5.0, 5.0, 5.0), (5.0, 5.0, 5.0))
        self.assertEqual(errors, [])

        # Two sources at one place give no fit: an error, and the identity.
        planar.SetPoint(1, planar.GetPoint(0))
        planar.Modified()
        self.assertEqual(self.transform.TransformPoint(0.2, 0.1, 0.0), (0.2, 0.1, 0.0))
        self.assertEqual(errors, ["ErrorEvent"])


if __name__ == "__main__":
    unittest.main()
