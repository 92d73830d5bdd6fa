// The run's fixed console texts: banner, farewell and usage.
#ifndef console_h
#define console_h

#include <ostream>

void PrintBanner();
void PrintFarewell();
void PrintUsage(std::ostream& os);

#endif
