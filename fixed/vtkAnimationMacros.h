// Property accessors and traces of the program's own toolkit classes.
//
// The toolkit's vtkSetMacro/vtkGetMacro family prints its own trace text. The
// classes of this program (vtkDatReader, vtkMatrixSolver, vtkShapeTransform)
// print the classic form instead, in which the class name and the object's
// address appear twice and every accessor names its property:
//
//   Debug: In <file>, line <n>
//   <Class> (<address>): <Class> (<address>): setting Radius to 0.5
//   <empty line>
//
//   ERROR: In <file>, line <n>
//   <Class> (<address>): <message>
//   <empty line>
//
// A debug trace is shown only while debugging is on for the object and the
// toolkit's global warning display is on; an error trace only needs the
// global warning display. Both go through the toolkit's output window, and an
// error is followed by vtkObject::BreakOnError(). File and line are those of
// the macro's use, so accessors report the class's header.
#ifndef vtkAnimationMacros_h
#define vtkAnimationMacros_h

#include <vtkObject.h>
#include <vtkSetGet.h>

#include <sstream>

#define animDebugMacro(x)                                                                          \
  do                                                                                               \
  {                                                                                                \
    if (this->GetDebug() && vtkObject::GetGlobalWarningDisplay())                                  \
    {                                                                                              \
      std::ostringstream animMsg;                                                                  \
      animMsg << "Debug: In " __FILE__ ", line " << __LINE__ << "\n"                               \
              << this->GetClassName() << " (" << this << "): " << this->GetClassName() << " ("     \
              << this x << "\n\n";                                                                 \
      vtkOutputWindowDisplayDebugText(animMsg.str().c_str());                                      \
    }                                                                                              \
  } while (false)

#define animErrorMacro(x)                                                                          \
  do                                                                                               \
  {                                                                                                \
    if (vtkObject::GetGlobalWarningDisplay())                                                      \
    {                                                                                              \
      std::ostringstream animMsg;                                                                  \
      animMsg << "ERROR: In " __FILE__ ", line " << __LINE__ << "\n"                               \
              << this->GetClassName() << " (" << this << "): " x << "\n\n";                        \
      vtkOutputWindowDisplayErrorText(animMsg.str().c_str());                                      \
      vtkObject::BreakOnError();                                                                   \
    }                                                                                              \
  } while (false)

// Plain value: traces, then stores and calls Modified() only on a change.
#define animSetMacro(name, type)                                                                   \
  virtual void Set##name(type _arg)                                                                \
  {                                                                                                \
    animDebugMacro(<< "): setting " #name " to " << _arg);                                         \
    if (this->name != _arg)                                                                        \
    {                                                                                              \
      this->name = _arg;                                                                           \
      this->Modified();                                                                            \
    }                                                                                              \
  }

#define animGetMacro(name, type)                                                                   \
  virtual type Get##name()                                                                         \
  {                                                                                                \
    animDebugMacro(<< "): returning " << #name " of " << this->name);                              \
    return this->name;                                                                             \
  }

// Counted reference: the object's reference moves from the old value to the new one.
#define animSetObjectMacro(name, type)                                                             \
  virtual void Set##name(type* _arg)                                                               \
  {                                                                                                \
    animDebugMacro(<< "): setting " << #name " to " << static_cast<void*>(_arg));                  \
    if (this->name != _arg)                                                                        \
    {                                                                                              \
      if (this->name)                                                                              \
      {                                                                                            \
        this->name->UnRegister(this);                                                              \
      }                                                                                            \
      this->name = _arg;                                                                           \
      if (this->name)                                                                              \
      {                                                                                            \
        this->name->Register(this);                                                                \
      }                                                                                            \
      this->Modified();                                                                            \
    }                                                                                              \
  }

// Borrowed object pointer.
#define animGetObjectMacro(name, type)                                                             \
  virtual type* Get##name()                                                                        \
  {                                                                                                \
    animDebugMacro(<< "): returning " #name " address " << static_cast<void*>(this->name));        \
    return this->name;                                                                             \
  }

// Fixed-size array member: the pointer form traces, the copy form does not.
#define animGetVectorMacro(name, type, count)                                                      \
  virtual type* Get##name()                                                                        \
  {                                                                                                \
    animDebugMacro(<< "): returning " << #name " pointer " << static_cast<void*>(this->name));     \
    return this->name;                                                                             \
  }                                                                                                \
  virtual void Get##name(type _arg[count])                                                         \
  {                                                                                                \
    for (int i = 0; i < count; ++i)                                                                \
    {                                                                                              \
      _arg[i] = this->name[i];                                                                     \
    }                                                                                              \
  }

#endif
