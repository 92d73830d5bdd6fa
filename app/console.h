// The run's fixed console texts: banner, farewell and usage; and file names
// as messages show them.
#ifndef console_h
#define console_h

#include <ostream>
#include <string>

void PrintBanner();
void PrintFarewell();
void PrintUsage(std::ostream& os);

// name as a message shows it: whole up to 100 characters, otherwise its first
// 60 and last 30 characters around the number of those left out, so that a
// name of megabytes does not flood the console.
std::string ShownName(const std::string& name);

#endif
