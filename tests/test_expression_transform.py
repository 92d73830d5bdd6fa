"""vtkExpressionTransform from Python: a blend of two expressions against the displacements of
vtkCompactSplineTransform fitted to each alone (run by ctest with Debian's /usr/bin/python3)."""
import unittest

import vtk
import animation


class ExpressionTransformBlend(unittest.TestCase):
    def test_blend_is_the_weighted_sum_of_single_fits(self):
        sphere = vtk.vtkSphereSource()
        sphere.SetThetaResolution(40)
        sphere.SetPhiResolution(40)
        sphere.Update()
        mesh = sphere.GetOutput()
        source, lift, pinch = vtk.vtkPoints(), vtk.vtkPoints(), vtk.vtkPoints()
        for i in range(0, mesh.GetNumberOfPoints(), 7):
            x, y, z = mesh.GetPoint(i)
            source.InsertNextPoint(x, y, z)
            lift.InsertNextPoint(x, y, z + 0.05 * max(0.0, z))
            pinch.InsertNextPoint(x * (1 - 0.05 * max(0.0, -y)), y, z)

        # pinch lists the same sources backwards: it still shares the factorisation.
        reversed_source, reversed_pinch = vtk.vtkPoints(), vtk.vtkPoints()
        for i in reversed(range(source.GetNumberOfPoints())):
            reversed_source.InsertNextPoint(source.GetPoint(i))
            reversed_pinch.InsertNextPoint(pinch.GetPoint(i))

        blend = animation.vtkExpressionTransform()
        blend.SetSupportRadius(0.4)
        self.assertEqual(blend.AddExpression("lift", source, lift), 0)
        self.assertEqual(blend.AddExpression("pinch", reversed_source, reversed_pinch), 1)
        blend.SetWeight("lift", 0.7)
        blend.SetWeight("pinch", -1.3)
        self.assertEqual(blend.GetNumberOfFactorisations(), 1)

        singles = []
        for target in (lift, pinch):
            single = animation.vtkCompactSplineTransform()
            single.SetSupportRadius(0.4)
            single.SetSourceLandmarks(source)
            single.SetTargetLandmarks(target)
            singles.append(single)

        out = vtk.vtkPoints()
        blend.TransformPoints(mesh.GetPoints(), out)
        largest = 0.0
        for i in range(mesh.GetNumberOfPoints()):
            x = mesh.GetPoint(i)
            expected = list(x)
            for weight, single in zip((0.7, -1.3), singles):
                moved = single.TransformPoint(x)
                for a in range(3):
                    expected[a] += weight * (moved[a] - x[a])
            for a in range(3):
                self.assertAlmostEqual(out.GetPoint(i)[a], expected[a], delta=1e-5)
                largest = max(largest, abs(expected[a] - x[a]))
        self.assertGreater(largest, 0.01)

        # A deep copy keeps every setting and blends alike.
        blend.SetRefinementThreshold(1e-3)
        copy = animation.vtkExpressionTransform()
        copy.DeepCopy(blend)
        self.assertEqual(copy.GetRefinementThreshold(), 1e-3)
        self.assertEqual(copy.GetWeight("pinch"), -1.3)
        copied = vtk.vtkPoints()
        copy.TransformPoints(mesh.GetPoints(), copied)
        for i in range(mesh.GetNumberOfPoints()):
            for a in range(3):
                self.assertAlmostEqual(copied.GetPoint(i)[a], out.GetPoint(i)[a], delta=1e-5)

    def test_shared_source_position_is_named(self):
        source, target = vtk.vtkPoints(), vtk.vtkPoints()
        for p in ((0, 0, 0), (0.3, 0, 0), (0, 0.3, 0), (0, 0, 0.3), (0.3, 0, 0)):
            source.InsertNextPoint(p)
            target.InsertNextPoint(p[0], p[1], p[2] + 0.01)
        blend = animation.vtkExpressionTransform()
        blend.AddExpression("doubled", source, target)
        self.assertEqual(blend.Fit(), 0)
        self.assertEqual(
            blend.GetFitError(),
            "expression doubled: the source landmarks 1 and 4 share the position (0.3, 0, 0)")


if __name__ == "__main__":
    unittest.main()
