// The control points of an editing session and every edit made to them: one
// stack of whole states, so that undo and redo restore exactly what was
// shown, whatever the edit was (a point added, moved or removed in any
// expression, the support radius changed).
#ifndef edit_history_h
#define edit_history_h

#include <cstddef>
#include <vector>

// A control point being edited. Id stays with the point through every edit,
// so that the point can be found again in the file it came from; no two
// points of a session share one.
struct EditedPoint
{
  int Id;
  double Source[3];
  double Target[3];
};

bool operator==(const EditedPoint& a, const EditedPoint& b);

using PointsOfExpression = std::vector<EditedPoint>;

struct EditState
{
  std::vector<PointsOfExpression> Expressions; // in the scene's order, "default" first
  double Radius;
};

class EditHistory
{
public:
  explicit EditHistory(const EditState& initial);

  const EditState& Current() const { return this->States[this->Position]; }

  // Makes next the current state, after the current one; the states that
  // undo had left behind are dropped.
  void Record(const EditState& next);

  // Steps back or forward one edit. False when there is none.
  bool Undo();
  bool Redo();

  // Whether the current state differs from the one last saved (at first, the
  // one read).
  bool Unsaved() const { return this->Position != this->SavedPosition; }
  void MarkSaved() { this->SavedPosition = this->Position; }

  // An Id that no point of any state has.
  int NewId() { return this->NextId++; }

private:
  std::vector<EditState> States; // States[0] as read; States[Position] is shown
  std::size_t Position = 0;
  std::size_t SavedPosition = 0; // beyond States.size() once that state is dropped
  int NextId = 0;
};

// The index in points of the point with the given Id, or -1.
int IndexOfPoint(const PointsOfExpression& points, int id);

#endif
