// vtkMatrixSolver: the object (defaults, traces, references, factory), the
// row-pointer matrices, and Solve() against the interpolation conditions and
// an independent dense solve of the bordered system in double precision.
#include "allocate_matrix.h"
#include "dense_solve.h"
#include "program_error.h"
#include "trace_capture.h"
#include "vtkMatrixSolver.h"

#include <gtest/gtest.h>

#include <vtkObjectFactory.h>
#include <vtkPoints.h>
#include <vtkSmartPointer.h>
#include <vtkVersionMacros.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace
{
const std::string header = ANIMATION_SOURCE_DIR "/fixed/vtkMatrixSolver.h";

std::string Address(const void* pointer)
{
  std::ostringstream text;
  text << pointer;
  return text.str();
}

// The whole trace an accessor of `solver` prints from the header line that
// holds `macro`, its accessor macro.
std::string Trace(vtkMatrixSolver* solver, const std::string& macro, const std::string& own)
{
  const std::string object = "vtkMatrixSolver (" + Address(solver);
  return "Debug: In " + TraceLocation(header, macro) + "\n" + object + "): " + object + own +
         "\n\n";
}

int TraceLine(const std::string& trace)
{
  const std::string marker = ", line ";
  const auto at = trace.find(marker);
  return at == std::string::npos ? -1 : std::stoi(trace.substr(at + marker.size()));
}

class MatrixSolverObject : public ::testing::Test
{
protected:
  void SetUp() override { this->Solver = vtkMatrixSolver::New(); }
  void TearDown() override
  {
    if (this->Solver)
    {
      this->Solver->Delete();
    }
  }

  TraceCapture Traces;
  vtkMatrixSolver* Solver = nullptr;
};

TEST_F(MatrixSolverObject, NewSolverHoldsDefaults)
{
  EXPECT_EQ(this->Solver->GetPointArray(), nullptr);
  EXPECT_EQ(this->Solver->GetSplineCoeffX(), nullptr);
  EXPECT_EQ(this->Solver->GetSplineCoeffY(), nullptr);
  EXPECT_EQ(this->Solver->GetSplineCoeffZ(), nullptr);
  EXPECT_EQ(this->Solver->GetList(), nullptr);
  EXPECT_EQ(this->Solver->GetBX(), nullptr);
  EXPECT_EQ(this->Solver->GetBY(), nullptr);
  EXPECT_EQ(this->Solver->GetBZ(), nullptr);
  EXPECT_EQ(this->Solver->GetRadius(), 0.0f);
  EXPECT_EQ(this->Solver->GetMax(), 0);
  EXPECT_TRUE(this->Traces.DebugTexts().empty()); // debugging is off
}

TEST_F(MatrixSolverObject, AnswersItsClassNameAndItsBase)
{
  EXPECT_STREQ(this->Solver->GetClassName(), "vtkMatrixSolver");
  EXPECT_EQ(this->Solver->IsA("vtkMatrixSolver"), 1);
  EXPECT_EQ(this->Solver->IsA("vtkObject"), 1);
  EXPECT_EQ(this->Solver->IsA("vtkObjectBase"), 1);
  EXPECT_EQ(this->Solver->IsA("vtkPoints"), 0);
}

TEST_F(MatrixSolverObject, EveryAccessorTracesItsOwnTextAndHeaderLine)
{
  vtkMatrixSolver* s = this->Solver;
  auto points = vtkSmartPointer<vtkPoints>::New();
  float cx[1], cy[1], cz[1], bx[1], by[1], bz[1];
  int list[1];
  const std::string P = Address(points), CX = Address(cx), CY = Address(cy), CZ = Address(cz);
  const std::string L = Address(list), BX = Address(bx), BY = Address(by), BZ = Address(bz);
  struct Case
  {
    std::function<void()> Call;
    std::string Macro;
    std::string Own;
  };
  const std::vector<Case> cases = {
    { [&] { s->SetPointArray(points); },
      "animSetObjectMacro(PointArray,",
      "): setting PointArray to " + P },
    { [&] { s->GetPointArray(); },
      "animGetObjectMacro(PointArray,",
      "): returning PointArray address " + P },
    { [&] { s->SetSplineCoeffX(cx); },
      "animSetMacro(SplineCoeffX,",
      "): setting SplineCoeffX to " + CX },
    { [&] { s->GetSplineCoeffX(); },
      "animGetMacro(SplineCoeffX,",
      "): returning SplineCoeffX of " + CX },
    { [&] { s->SetSplineCoeffY(cy); },
      "animSetMacro(SplineCoeffY,",
      "): setting SplineCoeffY to " + CY },
    { [&] { s->GetSplineCoeffY(); },
      "animGetMacro(SplineCoeffY,",
      "): returning SplineCoeffY of " + CY },
    { [&] { s->SetSplineCoeffZ(cz); },
      "animSetMacro(SplineCoeffZ,",
      "): setting SplineCoeffZ to " + CZ },
    { [&] { s->GetSplineCoeffZ(); },
      "animGetMacro(SplineCoeffZ,",
      "): returning SplineCoeffZ of " + CZ },
    { [&] { s->SetList(list); }, "animSetMacro(List,", "): setting List to " + L },
    { [&] { s->GetList(); }, "animGetMacro(List,", "): returning List of " + L },
    { [&] { s->SetBX(bx); }, "animSetMacro(BX,", "): setting BX to " + BX },
    { [&] { s->GetBX(); }, "animGetMacro(BX,", "): returning BX of " + BX },
    { [&] { s->SetBY(by); }, "animSetMacro(BY,", "): setting BY to " + BY },
    { [&] { s->GetBY(); }, "animGetMacro(BY,", "): returning BY of " + BY },
    { [&] { s->SetBZ(bz); }, "animSetMacro(BZ,", "): setting BZ to " + BZ },
    { [&] { s->GetBZ(); }, "animGetMacro(BZ,", "): returning BZ of " + BZ },
    { [&] { s->SetRadius(0.25f); }, "animSetMacro(Radius,", "): setting Radius to 0.25" },
    { [&] { s->GetRadius(); }, "animGetMacro(Radius,", "): returning Radius of 0.25" },
    { [&] { s->SetMax(-7); }, "animSetMacro(Max,", "): setting Max to -7" },
    { [&] { s->GetMax(); }, "animGetMacro(Max,", "): returning Max of -7" },
  };
  s->DebugOn();
  for (const Case& c : cases)
  {
    this->Traces.Clear();
    c.Call();
    ASSERT_EQ(this->Traces.DebugTexts().size(), 1u) << c.Own;
    EXPECT_EQ(this->Traces.DebugTexts()[0], Trace(s, c.Macro, c.Own));
  }
  s->SetSplineCoeffX(nullptr);
  s->SetSplineCoeffY(nullptr);
  s->SetSplineCoeffZ(nullptr);
}

TEST_F(MatrixSolverObject, TracesNeedBothDebugAndGlobalWarningDisplay)
{
  this->Solver->SetRadius(1.0f);
  this->Solver->DebugOn();
  vtkObject::GlobalWarningDisplayOff();
  this->Solver->SetRadius(2.0f);
  this->Solver->GetMax();
  EXPECT_TRUE(this->Traces.DebugTexts().empty());
  EXPECT_EQ(this->Solver->GetRadius(), 2.0f);
}

TEST_F(MatrixSolverObject, SettingTheHeldValueTracesButKeepsModificationTime)
{
  float array[3];
  this->Solver->SetRadius(0.5f);
  this->Solver->SetMax(4);
  this->Solver->SetBY(array);
  this->Solver->DebugOn();
  const vtkMTimeType before = this->Solver->GetMTime();
  this->Solver->SetRadius(0.5f);
  this->Solver->SetMax(4);
  this->Solver->SetBY(array);
  this->Solver->SetPointArray(nullptr);
  EXPECT_EQ(this->Solver->GetMTime(), before);
  EXPECT_EQ(this->Traces.DebugTexts().size(), 4u);

  this->Solver->SetMax(5);
  EXPECT_GT(this->Solver->GetMTime(), before);
  EXPECT_EQ(this->Solver->GetMax(), 5);
}

TEST_F(MatrixSolverObject, PointArrayReferenceMovesWithTheSetter)
{
  vtkPoints* first = vtkPoints::New();
  vtkPoints* second = vtkPoints::New();
  this->Solver->SetPointArray(first);
  EXPECT_EQ(first->GetReferenceCount(), 2);
  this->Solver->SetPointArray(first);
  EXPECT_EQ(first->GetReferenceCount(), 2);
  this->Solver->SetPointArray(second);
  EXPECT_EQ(first->GetReferenceCount(), 1);
  EXPECT_EQ(second->GetReferenceCount(), 2);
  EXPECT_EQ(this->Solver->GetPointArray(), second);

  float bx[2] = { 1, 2 };
  int list[2] = { 0, 1 };
  this->Solver->SetBX(bx);
  this->Solver->SetList(list);
  this->Solver->Delete();
  this->Solver = nullptr;
  EXPECT_EQ(second->GetReferenceCount(), 1);
  // The borrowed arrays are left as they were.
  EXPECT_EQ(bx[0], 1.0f);
  EXPECT_EQ(list[1], 1);
  first->Delete();
  second->Delete();
}

TEST_F(MatrixSolverObject, DestructorClearsMembersThroughTheSetters)
{
  vtkPoints* points = vtkPoints::New();
  this->Solver->SetPointArray(points);
  this->Solver->DebugOn();
  this->Solver->Delete();
  this->Solver = nullptr;
  std::vector<int> lines;
  for (const std::string& text : this->Traces.DebugTexts())
  {
    lines.push_back(TraceLine(text));
  }
  std::vector<int> setters;
  for (const char* macro : { "animSetMacro(SplineCoeffX,",
                             "animSetMacro(SplineCoeffY,",
                             "animSetMacro(SplineCoeffZ,",
                             "animSetObjectMacro(PointArray,",
                             "animSetMacro(List,",
                             "animSetMacro(BX,",
                             "animSetMacro(BY,",
                             "animSetMacro(BZ," })
  {
    setters.push_back(LineHolding(header, macro));
  }
  EXPECT_EQ(lines, setters);
  EXPECT_EQ(points->GetReferenceCount(), 1);
  points->Delete();
}

// A solver subclass that a factory hands out in place of the class itself.
class OverridingSolver : public vtkMatrixSolver
{
public:
  vtkTypeMacro(OverridingSolver, vtkMatrixSolver);
  static OverridingSolver* New()
  {
    OverridingSolver* solver = new OverridingSolver;
    solver->InitializeObjectBase();
    return solver;
  }
};

class OverridingFactory : public vtkObjectFactory
{
public:
  vtkTypeMacro(OverridingFactory, vtkObjectFactory);
  static OverridingFactory* New()
  {
    OverridingFactory* factory = new OverridingFactory;
    factory->InitializeObjectBase();
    return factory;
  }
  const char* GetVTKSourceVersion() override { return VTK_SOURCE_VERSION; }
  const char* GetDescription() override { return "test override of vtkMatrixSolver"; }

protected:
  OverridingFactory()
  {
    this->RegisterOverride("vtkMatrixSolver",
                           "OverridingSolver",
                           "test",
                           1,
                           [] { return static_cast<vtkObject*>(OverridingSolver::New()); });
  }
};

TEST_F(MatrixSolverObject, NewPrefersTheObjectFactory)
{
  OverridingFactory* factory = OverridingFactory::New();
  vtkObjectFactory::RegisterFactory(factory);
  vtkMatrixSolver* made = vtkMatrixSolver::New();
  vtkObjectFactory::UnRegisterFactory(factory);
  factory->Delete();
  EXPECT_STREQ(made->GetClassName(), "OverridingSolver");
  EXPECT_EQ(made->IsA("vtkMatrixSolver"), 1);
  made->Delete();

  vtkMatrixSolver* plain = vtkMatrixSolver::New();
  EXPECT_STREQ(plain->GetClassName(), "vtkMatrixSolver");
  plain->Delete();
}

TEST(RowPointerMatrix, IsAddressedByItsOwnBounds)
{
  const std::size_t bounds[2][4] = { { 0, 3, 0, 3 }, { 1, 2, 5, 6 } };
  for (const auto& b : bounds)
  {
    float** m = allocate_matrix(b[0], b[1], b[2], b[3]);
    for (std::size_t i = b[0]; i <= b[1]; ++i)
    {
      for (std::size_t j = b[2]; j <= b[3]; ++j)
      {
        m[i][j] = static_cast<float>(10 * i + j);
      }
    }
    for (std::size_t i = b[0]; i <= b[1]; ++i)
    {
      for (std::size_t j = b[2]; j <= b[3]; ++j)
      {
        EXPECT_EQ(m[i][j], static_cast<float>(10 * i + j));
      }
    }
    // Each row is a block of its own.
    EXPECT_NE(&m[b[0]][b[3]] + 1, &m[b[0] + 1][b[2]]);
    free_matrix(m, b[0], b[1], b[2], b[3]);
  }
}

TEST(RowPointerMatrix, ThrowsItsTextsWhenStorageCannotBeObtained)
{
  // Byte counts beyond the address space cannot be obtained.
  std::string thrown;
  try
  {
    allocate_matrix(0, SIZE_MAX / 4, 0, 3);
  }
  catch (const program_error& failure)
  {
    thrown = failure.what();
  }
  EXPECT_EQ(thrown, "allocation faliture for the matrix in allocate_matrix");

  thrown.clear();
  try
  {
    allocate_matrix(2, 5, 0, SIZE_MAX / 2);
  }
  catch (const program_error& failure)
  {
    thrown = failure.what();
  }
  EXPECT_EQ(thrown, "allocation faliture for the rows of matrix in allocate_matrix");
}

// ---------------------------------------------------------------------------
// Solve

using Point = std::array<double, 3>;

// The point as the solver holds it, in single precision.
Point Rounded(const Point& p)
{
  return { static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2]) };
}

// phi(r) = (1 - r/R)^2 inside the support, in double precision.
double Phi(const Point& p, const Point& q, double radius)
{
  const double r2 =
    (p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) + (p[2] - q[2]) * (p[2] - q[2]);
  if (!(r2 < radius * radius))
  {
    return 0.0;
  }
  const double t = 1.0 - std::sqrt(r2) / radius;
  return t * t;
}

struct SolveOutcome
{
  std::vector<std::string> Lines;
  std::string Thrown;
};

class MatrixSolverSolve : public ::testing::Test
{
protected:
  void SetUp() override { this->Points = vtkSmartPointer<vtkPoints>::New(); }

  void AddPoint(double x, double y, double z) { this->Points->InsertNextPoint(x, y, z); }

  void RandomPoints(int n, std::mt19937& random)
  {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < n; ++i)
    {
      this->AddPoint(unit(random), unit(random), unit(random));
    }
  }

  // Identity list, and values of three different smooth fields.
  void DefaultInputs()
  {
    const int n = this->Count();
    this->List.resize(n);
    std::iota(this->List.begin(), this->List.end(), 0);
    this->B.assign(3, std::vector<float>(n));
    for (int k = 0; k < n; ++k)
    {
      const Point p = this->Position(k);
      this->B[0][k] = static_cast<float>(0.1 * std::sin(3 * p[0]) + 0.05 * p[1]);
      this->B[1][k] = static_cast<float>(0.2 * p[0] * p[2] - 0.1);
      this->B[2][k] = static_cast<float>(0.05 * std::cos(4 * p[1] + p[2]));
    }
  }

  int Count() const { return static_cast<int>(this->Points->GetNumberOfPoints()); }

  // Position of the control point at list position k.
  Point Position(int k)
  {
    Point p;
    this->Points->GetPoint(this->List.empty() ? k : this->List[k], p.data());
    return p;
  }

  SolveOutcome Run(float radius, int max)
  {
    this->Solver = vtkSmartPointer<vtkMatrixSolver>::New();
    this->Given = this->B;
    this->Solver->SetRadius(radius);
    this->Solver->SetPointArray(this->Points);
    this->Solver->SetList(this->List.data());
    this->Solver->SetMax(max);
    this->Solver->SetBX(this->B[0].data());
    this->Solver->SetBY(this->B[1].data());
    this->Solver->SetBZ(this->B[2].data());
    return this->Again();
  }

  SolveOutcome Again()
  {
    SolveOutcome outcome;
    testing::internal::CaptureStdout();
    try
    {
      EXPECT_EQ(this->Solver->Solve(), 1);
    }
    catch (const program_error& failure)
    {
      outcome.Thrown = failure.what();
    }
    std::istringstream out(testing::internal::GetCapturedStdout());
    for (std::string line; std::getline(out, line);)
    {
      outcome.Lines.push_back(line);
    }
    return outcome;
  }

  const float* Coefficients(int axis)
  {
    return axis == 0   ? this->Solver->GetSplineCoeffX()
           : axis == 1 ? this->Solver->GetSplineCoeffY()
                       : this->Solver->GetSplineCoeffZ();
  }

  // The spline of one axis evaluated in double at control point List[k].
  double Evaluate(int axis, int k, float radius)
  {
    const int n = this->Count();
    const float* c = this->Coefficients(axis);
    const Point q = this->Position(k);
    double s = c[n] + c[n + 1] * q[0] + c[n + 2] * q[1] + c[n + 3] * q[2];
    for (int i = 0; i < n; ++i)
    {
      s += c[i] * Phi(q, this->Position(i), radius);
    }
    return s;
  }

  vtkSmartPointer<vtkPoints> Points;
  vtkSmartPointer<vtkMatrixSolver> Solver;
  std::vector<int> List;
  std::vector<std::vector<float>> B;
  std::vector<std::vector<float>> Given;
};

const std::string noPointsMessage = "Solve: there are no control points to fit";
const std::string notPositiveMessage = "Solve: the interpolation matrix is not positive definite";
const std::string notFiniteMessage = "Solve: the spline coefficients are not finite; check the "
                                     "control points and the right-hand sides for infinite or "
                                     "undefined values";

// "<label><seconds><tail>" with a number in the middle.
void ExpectTimedLine(const std::string& line, const std::string& label, const std::string& tail)
{
  ASSERT_GE(line.size(), label.size() + tail.size()) << line;
  EXPECT_EQ(line.substr(0, label.size()), label) << line;
  EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << line;
  const std::string number = line.substr(label.size(), line.size() - label.size() - tail.size());
  std::size_t used = 0;
  const double seconds = std::stod(number, &used);
  EXPECT_EQ(used, number.size()) << line;
  EXPECT_GE(seconds, 0.0);
}

TEST_F(MatrixSolverSolve, ReportsWorkedExampleSizeAndFitsThreePointsOnALine)
{
  // Rows store 0, 1 and 1 entries: point 2 is out of reach of point 0.
  this->AddPoint(0, 0, 0);
  this->AddPoint(0.4, 0, 0);
  this->AddPoint(0.8, 0, 0);
  this->DefaultInputs();
  const SolveOutcome run = this->Run(0.5f, 2);
  ASSERT_EQ(run.Thrown, "");
  ASSERT_EQ(run.Lines.size(), 3u);
  ExpectTimedLine(run.Lines[0], "Constructing time: ", " sec., (0 relocations).");
  EXPECT_EQ(run.Lines[1],
            "Size of matrix A is (3*3): 32 bytes (0 MiB) <= 36 bytes (0 MiB) if stored as full "
            "matrix.");
  // On a line the polynomial part is 1 and x: no y or z terms.
  for (int axis = 0; axis < 3; ++axis)
  {
    EXPECT_EQ(this->Coefficients(axis)[3 + 2], 0.0f);
    EXPECT_EQ(this->Coefficients(axis)[3 + 3], 0.0f);
    for (int k = 0; k < 3; ++k)
    {
      EXPECT_NEAR(this->Evaluate(axis, k, 0.5f), this->Given[axis][k], 1e-5);
    }
  }
}

TEST_F(MatrixSolverSolve, PrintsConstructionSizeAndSolvingLines)
{
  std::mt19937 random(3);
  this->RandomPoints(30, random);
  this->DefaultInputs();
  const SolveOutcome run = this->Run(0.5f, 29);
  ASSERT_EQ(run.Thrown, "");
  ASSERT_EQ(run.Lines.size(), 3u);
  ExpectTimedLine(run.Lines[0], "Constructing time: ", " sec., (0 relocations).");
  EXPECT_EQ(run.Lines[1].substr(0, 27), "Size of matrix A is (30*30)");
  ExpectTimedLine(run.Lines[2], "Solving time: ", " sec.");
}

TEST_F(MatrixSolverSolve, EmptyWindowGivesTheIdentityMatrix)
{
  std::mt19937 random(5);
  this->RandomPoints(12, random);
  this->DefaultInputs();
  const auto values = this->B;
  for (int max : { 0, -3 })
  {
    this->B = values;
    const SolveOutcome run = this->Run(0.5f, max);
    ASSERT_EQ(run.Thrown, "");
    ExpectTimedLine(run.Lines[0], "Constructing time: ", " sec., (0 relocations).");
    EXPECT_EQ(run.Lines[1],
              "Size of matrix A is (12*12): 96 bytes (0 MiB) <= 576 bytes (0 MiB) if stored as "
              "full matrix.");
    // With A = I the weights solve c + P'd = b, P c = 0.
    for (int axis = 0; axis < 3; ++axis)
    {
      const float* c = this->Coefficients(axis);
      double sum = 0.0;
      for (int k = 0; k < 12; ++k)
      {
        const Point p = this->Position(k);
        EXPECT_NEAR(
          c[k] + c[12] + c[13] * p[0] + c[14] * p[1] + c[15] * p[2], this->Given[axis][k], 1e-5);
        sum += c[k];
      }
      EXPECT_NEAR(sum, 0.0, 1e-5);
    }
  }
}

TEST_F(MatrixSolverSolve, WindowOfOneGrowsTheEnvelopeOnce)
{
  // A zigzag in space whose consecutive points are neighbours.
  for (int i = 0; i < 10; ++i)
  {
    this->AddPoint(0.3 * i, 0.2 * (i % 2), 0.2 * ((i / 2) % 2));
  }
  this->DefaultInputs();
  const SolveOutcome run = this->Run(0.5f, 1);
  ASSERT_EQ(run.Thrown, "");
  ExpectTimedLine(run.Lines[0], "Constructing time: ", " sec., (1 relocations).");
  // Nine rows store one entry each.
  EXPECT_EQ(run.Lines[1],
            "Size of matrix A is (10*10): 116 bytes (0 MiB) <= 400 bytes (0 MiB) if stored as "
            "full matrix.");
}

TEST_F(MatrixSolverSolve, EnvelopeRowsBeginAtFirstNeighbourAndKeepInnerZeros)
{
  // Point 1 lies at exactly the radius from point 0, so row 1 stores nothing;
  // row 2 begins at column 1; row 3 begins at column 0 and stores the zeros
  // of columns 1 and 2 as well: e = 0 + 0 + 1 + 3.
  this->AddPoint(0, 0, 0);
  this->AddPoint(0.5, 0, 0);
  this->AddPoint(0.5, 0.25, 0);
  this->AddPoint(0, 0, 0.25);
  this->DefaultInputs();
  const SolveOutcome run = this->Run(0.5f, 3);
  ASSERT_EQ(run.Thrown, "");
  EXPECT_EQ(run.Lines[1],
            "Size of matrix A is (4*4): 48 bytes (0 MiB) <= 64 bytes (0 MiB) if stored as full "
            "matrix.");
  for (int axis = 0; axis < 3; ++axis)
  {
    for (int k = 0; k < 4; ++k)
    {
      EXPECT_NEAR(this->Evaluate(axis, k, 0.5f), this->Given[axis][k], 1e-6);
    }
  }
}

TEST_F(MatrixSolverSolve, SizeReportCountsBeyondThirtyTwoBits)
{
  std::mt19937 random(11);
  this->RandomPoints(50000, random);
  this->DefaultInputs();
  const SolveOutcome run = this->Run(0.5f, 0);
  ASSERT_EQ(run.Thrown, "");
  EXPECT_EQ(run.Lines[1],
            "Size of matrix A is (50000*50000): 400000 bytes (0 MiB) <= 10000000000 bytes (9536 "
            "MiB) if stored as full matrix.");
}

TEST_F(MatrixSolverSolve, SplineReproducesTheValuesWithBalancedWeights)
{
  std::mt19937 random(17);
  this->RandomPoints(120, random);
  this->DefaultInputs();
  // A shuffled list: entries belong to control point List[k].
  std::shuffle(this->List.begin(), this->List.end(), random);
  for (int k = 0; k < 120; ++k)
  {
    const Point p = this->Position(k);
    this->B[0][k] = static_cast<float>(0.1 * std::sin(3 * p[0]) + 0.05 * p[1]);
    this->B[1][k] = static_cast<float>(0.2 * p[0] * p[2] - 0.1);
    this->B[2][k] = static_cast<float>(0.05 * std::cos(4 * p[1] + p[2]));
  }
  const float radius = 0.4f;
  const SolveOutcome run = this->Run(radius, 119);
  ASSERT_EQ(run.Thrown, "");
  const int n = this->Count();
  for (int axis = 0; axis < 3; ++axis)
  {
    const float* c = this->Coefficients(axis);
    double sum = 0.0, mx = 0.0, my = 0.0, mz = 0.0, size = 0.0;
    for (int k = 0; k < n; ++k)
    {
      EXPECT_NEAR(this->Evaluate(axis, k, radius), this->Given[axis][k], 1e-6)
        << "axis " << axis << " position " << k;
      const Point p = this->Position(k);
      sum += c[k];
      mx += c[k] * p[0];
      my += c[k] * p[1];
      mz += c[k] * p[2];
      size += std::fabs(c[k]);
      // Solve leaves the weights in the right-hand sides.
      EXPECT_EQ(this->B[axis][k], c[k]);
    }
    EXPECT_GT(size, 1e-3);
    EXPECT_NEAR(sum, 0.0, 1e-4 * size);
    EXPECT_NEAR(mx, 0.0, 1e-4 * size);
    EXPECT_NEAR(my, 0.0, 1e-4 * size);
    EXPECT_NEAR(mz, 0.0, 1e-4 * size);
  }
}

TEST_F(MatrixSolverSolve, AffineFieldHasZeroWeightsAndItsOwnCoefficients)
{
  std::mt19937 random(23);
  this->RandomPoints(80, random);
  this->DefaultInputs();
  const double affine[3][4] = { { 0.1, 0.2, -0.3, 0.4 },
                                { -0.25, 0, 0, 0 },
                                { 0, 0, 0.5, -0.125 } };
  for (int k = 0; k < 80; ++k)
  {
    const Point p = this->Position(k);
    for (int axis = 0; axis < 3; ++axis)
    {
      const double* a = affine[axis];
      this->B[axis][k] = static_cast<float>(a[0] + a[1] * p[0] + a[2] * p[1] + a[3] * p[2]);
    }
  }
  const SolveOutcome run = this->Run(0.5f, 79);
  ASSERT_EQ(run.Thrown, "");
  for (int axis = 0; axis < 3; ++axis)
  {
    const float* c = this->Coefficients(axis);
    for (int k = 0; k < 80; ++k)
    {
      EXPECT_NEAR(c[k], 0.0, 1e-4) << "axis " << axis << " weight " << k;
    }
    for (int t = 0; t < 4; ++t)
    {
      EXPECT_NEAR(c[80 + t], affine[axis][t], 1e-4) << "axis " << axis << " term " << t;
    }
  }
}

TEST_F(MatrixSolverSolve, CoefficientsAgreeWithDenseBorderedSolve)
{
  std::mt19937 random(29);
  this->RandomPoints(90, random);
  this->DefaultInputs();
  const int n = this->Count();
  const float radius = 0.45f;
  // [A P'; P 0] [c; d] = [b; 0], assembled in double from the float points.
  std::vector<std::vector<double>> bordered(n + 4, std::vector<double>(n + 4, 0.0));
  for (int i = 0; i < n; ++i)
  {
    const Point p = Rounded(this->Position(i));
    for (int j = 0; j < n; ++j)
    {
      const Point q = Rounded(this->Position(j));
      bordered[i][j] = Phi(p, q, radius);
    }
    const double row[4] = { 1.0, p[0], p[1], p[2] };
    for (int t = 0; t < 4; ++t)
    {
      bordered[i][n + t] = bordered[n + t][i] = row[t];
    }
  }
  std::vector<std::vector<double>> expected;
  for (int axis = 0; axis < 3; ++axis)
  {
    std::vector<double> b(this->B[axis].begin(), this->B[axis].end());
    b.resize(n + 4, 0.0);
    expected.push_back(DenseSolve(bordered, b));
  }
  const SolveOutcome run = this->Run(radius, n - 1);
  ASSERT_EQ(run.Thrown, "");
  for (int axis = 0; axis < 3; ++axis)
  {
    const float* c = this->Coefficients(axis);
    double scale = 0.0;
    for (int i = 0; i < n + 4; ++i)
    {
      scale = std::max(scale, std::fabs(expected[axis][i]));
    }
    for (int i = 0; i < n + 4; ++i)
    {
      EXPECT_NEAR(c[i], expected[axis][i], 2e-5 * scale) << "axis " << axis << " entry " << i;
    }
  }
}

TEST_F(MatrixSolverSolve, SecondSolveReplacesTheCoefficients)
{
  std::mt19937 random(31);
  this->RandomPoints(40, random);
  this->DefaultInputs();
  ASSERT_EQ(this->Run(0.5f, 39).Thrown, "");
  const float* first = this->Solver->GetSplineCoeffX();
  const float firstConstant = first[40];

  // A translation by (1, 2, 3) on fresh right-hand sides.
  for (int axis = 0; axis < 3; ++axis)
  {
    this->B[axis].assign(40, static_cast<float>(axis + 1));
  }
  this->Given = this->B;
  const SolveOutcome second = this->Again();
  ASSERT_EQ(second.Thrown, "");
  EXPECT_NE(this->Solver->GetSplineCoeffX(), first);
  EXPECT_NE(this->Solver->GetSplineCoeffX()[40], firstConstant);
  for (int axis = 0; axis < 3; ++axis)
  {
    EXPECT_NEAR(this->Coefficients(axis)[40], axis + 1.0, 1e-4);
  }
}

TEST_F(MatrixSolverSolve, SolveAssignsCoefficientsWithoutTraceOrModification)
{
  std::mt19937 random(37);
  this->RandomPoints(20, random);
  this->DefaultInputs();
  TraceCapture capture;
  this->Solver = vtkSmartPointer<vtkMatrixSolver>::New();
  this->Solver->SetRadius(0.5f);
  this->Solver->SetPointArray(this->Points);
  this->Solver->SetList(this->List.data());
  this->Solver->SetMax(19);
  this->Solver->SetBX(this->B[0].data());
  this->Solver->SetBY(this->B[1].data());
  this->Solver->SetBZ(this->B[2].data());
  this->Solver->DebugOn();
  const vtkMTimeType before = this->Solver->GetMTime();
  const SolveOutcome run = this->Again();
  const std::size_t traces = capture.DebugTexts().size();
  this->Solver->DebugOff();
  ASSERT_EQ(run.Thrown, "");
  EXPECT_EQ(traces, 0u);
  EXPECT_EQ(this->Solver->GetMTime(), before);
  EXPECT_NE(this->Solver->GetSplineCoeffX(), nullptr);
}

TEST_F(MatrixSolverSolve, CoincidentPairAloneFailsTheFactorisation)
{
  // Five points out of each other's reach, and a sixth on top of the fourth.
  this->AddPoint(0, 0, 0);
  this->AddPoint(1, 0, 0);
  this->AddPoint(0, 1, 0);
  this->AddPoint(0, 0, 1);
  this->AddPoint(0, 0, 1);
  this->AddPoint(1, 1, 1);
  this->DefaultInputs();
  const SolveOutcome run = this->Run(0.5f, 5);
  EXPECT_EQ(run.Thrown,
            notPositiveMessage + ": control points 4 and 5 share the source position 0 0 1");
  ASSERT_EQ(run.Lines.size(), 3u);
  EXPECT_EQ(run.Lines[2], "Matrix is not positive  Iflag =1");
  EXPECT_EQ(this->Solver->GetSplineCoeffX(), nullptr);
}

TEST_F(MatrixSolverSolve, CoincidentPairAmongNeighboursIsRefused)
{
  std::mt19937 random(41);
  this->RandomPoints(30, random);
  double p[3];
  this->Points->GetPoint(7, p);
  this->AddPoint(p[0], p[1], p[2]);
  this->DefaultInputs();
  const SolveOutcome run = this->Run(0.5f, 30);
  EXPECT_EQ(run.Thrown.rfind(notPositiveMessage + ": control points ", 0), 0u) << run.Thrown;
  EXPECT_NE(run.Thrown.find(" 8 and 31 share the source position "), std::string::npos)
    << run.Thrown;
}

TEST_F(MatrixSolverSolve, PointsInOnePlaneOrFewerThanFourAreInterpolated)
{
  // An oblique plane, not exactly representable in single precision.
  std::mt19937 random(43);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int i = 0; i < 25; ++i)
  {
    const double x = unit(random), y = unit(random);
    this->AddPoint(x, y, 0.3 * x - 0.7 * y + 0.1);
  }
  this->DefaultInputs();
  ASSERT_EQ(this->Run(0.5f, 24).Thrown, "");
  for (int axis = 0; axis < 3; ++axis)
  {
    for (int k = 0; k < 25; ++k)
    {
      EXPECT_NEAR(this->Evaluate(axis, k, 0.5f), this->Given[axis][k], 1e-5) << axis << " " << k;
    }
  }

  // One point: the constant alone.
  this->Points = vtkSmartPointer<vtkPoints>::New();
  this->AddPoint(0.1, 0.2, 0.3);
  this->DefaultInputs();
  ASSERT_EQ(this->Run(0.5f, 0).Thrown, "");
  for (int axis = 0; axis < 3; ++axis)
  {
    const float* c = this->Coefficients(axis);
    EXPECT_NEAR(c[0] + c[1], this->Given[axis][0], 1e-6);
    EXPECT_EQ(c[2], 0.0f);
    EXPECT_EQ(c[3], 0.0f);
    EXPECT_EQ(c[4], 0.0f);
  }
}

TEST_F(MatrixSolverSolve, NoPointsAreRefusedWithoutOutput)
{
  this->DefaultInputs();
  const SolveOutcome run = this->Run(0.5f, 0);
  EXPECT_EQ(run.Thrown, noPointsMessage);
  EXPECT_TRUE(run.Lines.empty());
}

TEST_F(MatrixSolverSolve, UndefinedValuesAreRefused)
{
  std::mt19937 random(47);
  this->RandomPoints(20, random);
  this->DefaultInputs();
  this->B[1][4] = std::nanf("");
  const SolveOutcome run = this->Run(0.5f, 19);
  EXPECT_EQ(run.Thrown, notFiniteMessage);
  EXPECT_EQ(run.Lines.size(), 2u); // no solving time
  EXPECT_EQ(this->Solver->GetSplineCoeffY(), nullptr);
}
}
