#include "edit_history.h"

#include <algorithm>
#include <limits>

bool operator==(const EditedPoint& a, const EditedPoint& b)
{
  return a.Id == b.Id && std::equal(a.Source, a.Source + 3, b.Source) &&
         std::equal(a.Target, a.Target + 3, b.Target);
}

EditHistory::EditHistory(const EditState& initial)
  : States{ initial }
{
  for (const PointsOfExpression& points : initial.Expressions)
  {
    for (const EditedPoint& point : points)
    {
      this->NextId = std::max(this->NextId, point.Id + 1);
    }
  }
}

void EditHistory::Record(const EditState& next)
{
  this->States.resize(this->Position + 1);
  if (this->SavedPosition > this->Position)
  {
    // The saved state was undone and is now dropped: no state equals it.
    this->SavedPosition = std::numeric_limits<std::size_t>::max();
  }
  this->States.push_back(next);
  ++this->Position;
}

bool EditHistory::Undo()
{
  if (this->Position == 0)
  {
    return false;
  }
  --this->Position;
  return true;
}

bool EditHistory::Redo()
{
  if (this->Position + 1 >= this->States.size())
  {
    return false;
  }
  ++this->Position;
  return true;
}

int IndexOfPoint(const PointsOfExpression& points, int id)
{
  const auto found = std::find_if(
    points.begin(), points.end(), [id](const EditedPoint& point) { return point.Id == id; });
  return found == points.end() ? -1 : static_cast<int>(found - points.begin());
}
