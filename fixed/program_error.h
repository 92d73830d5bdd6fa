// The one way the program fails: a program_error carries the text that the
// user reads. Whatever cannot go on (a scene that cannot be read, a fit that
// is refused, an output that cannot be written) throws one; the program
// entry catches it, releases what the run made so far, prints what() on
// standard error and ends with status 1.
//
// It is a std::runtime_error, so that one handler of std::exception takes
// the program's own failures and the standard library's (std::bad_alloc)
// alike. The text is printed as it is given: the fixed texts of
// fixed_texts.h are thrown exactly as they are spelled.
#ifndef program_error_h
#define program_error_h

#include <stdexcept>

class program_error : public std::runtime_error
{
public:
  using std::runtime_error::runtime_error;
};

#endif
