"""Animation's deformation for VTK: vtkCompactSplineTransform and its kin."""
from .AnimationDeformation import *
