#include "isolated_mesh_read.h"

#include "available_memory.h"
#include "mesh_check.h"
#include "named_file.h"

#include <vtkAlgorithm.h>
#include <vtkPolyData.h>
#include <vtkSMPTools.h>
#include <vtkTrivialProducer.h>
#include <vtkXMLPolyDataReader.h>
#include <vtkXMLPolyDataWriter.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <valgrind/valgrind.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <limits>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define ANIMATION_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ANIMATION_ADDRESS_SANITIZER 1
#endif
#endif

// Under the sanitizers (and libFuzzer) a child that finds an error ends
// through this callback; the child sets its own, so that the parent's
// handlers never run in it.
extern "C" void __sanitizer_set_death_callback(void (*callback)(void)) __attribute__((weak));

namespace
{
// The child's first byte tells what follows: the mesh as VTK XML polydata,
// or the text of why the reader or the check refused the file.
constexpr char MeshFollows = 'M';
constexpr char ReasonFollows = 'R';
// Exit status of a child whose allocation failed under its limit.
constexpr int OutOfMemoryStatus = 3;
// Exit status of a child that the sanitizers stopped.
constexpr int SanitizerStatus = 4;

void Send(int descriptor, char kind, const std::string& payload)
{
  const std::string message = kind + payload;
  WriteAll(descriptor, message.data(), message.size());
}

// The child: reads, checks and sends the mesh or the reason, then ends
// without running the parent's exit handlers.
[[noreturn]] void ReadAndSend(vtkAlgorithm* reader, const ReadLimits& limits, int descriptor)
{
  const int nowhere = open("/dev/null", O_WRONLY);
  dup2(nowhere, STDOUT_FILENO);
  dup2(nowhere, STDERR_FILENO);
  for (int signal : { SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL, SIGALRM, SIGPIPE })
  {
    std::signal(signal, SIG_DFL);
  }
  if (__sanitizer_set_death_callback)
  {
    __sanitizer_set_death_callback([] { _exit(SanitizerStatus); });
  }
  const rlimit noCore = { 0, 0 };
  setrlimit(RLIMIT_CORE, &noCore);
#ifndef ANIMATION_ADDRESS_SANITIZER
  const rlim_t memory = static_cast<rlim_t>(process_bytes() + limits.MemoryLimitBytes);
  const rlimit addressSpace = { memory, memory };
  setrlimit(RLIMIT_AS, &addressSpace);
#endif
  std::set_new_handler([] { _exit(OutOfMemoryStatus); });
  alarm(limits.SecondsLimit);
  // The threads of the parent's thread pool are not in the child.
  vtkSMPTools::SetBackend("Sequential");

  std::string why;
  if (!ReadCheckedMesh(reader, why))
  {
    Send(descriptor, ReasonFollows, why);
    _exit(0);
  }
  vtkXMLPolyDataWriter* writer = vtkXMLPolyDataWriter::New();
  writer->SetInputData(vtkPolyData::SafeDownCast(reader->GetOutputDataObject(0)));
  writer->WriteToOutputStringOn();
  writer->SetDataModeToAppended();
  writer->EncodeAppendedDataOff();
  writer->SetCompressorTypeToNone();
  if (writer->Write() != 1)
  {
    Send(descriptor, ReasonFollows, "the mesh it holds cannot be passed on");
    _exit(0);
  }
  Send(descriptor, MeshFollows, writer->GetOutputString());
  _exit(0);
}
}

ReadLimits LimitsForMeshFile(long long fileBytes)
{
  ReadLimits limits;
  limits.SecondsLimit = 60 + static_cast<unsigned>(std::min<long long>(fileBytes >> 20, 3600));
  limits.MemoryLimitBytes = (1LL << 30) + 32 * fileBytes;
  const long long available = available_memory_bytes();
  if (available > 0)
  {
    limits.MemoryLimitBytes = std::max(256LL << 20, std::min(limits.MemoryLimitBytes, available));
  }
  return limits;
}

vtkAlgorithm* ReadInChildProcess(vtkAlgorithm* reader, const ReadLimits& limits, std::string& why)
{
  if (RUNNING_ON_VALGRIND)
  {
    // valgrind follows a forked child, needs more address space than the
    // child's limit leaves and reports what the child leaves to _exit as
    // lost; under it the reader runs in this process, with the same check.
    if (!ReadCheckedMesh(reader, why))
    {
      return nullptr;
    }
    vtkTrivialProducer* copy = vtkTrivialProducer::New();
    copy->SetOutput(reader->GetOutputDataObject(0));
    return copy;
  }
  int channel[2];
  if (pipe2(channel, O_CLOEXEC) != 0)
  {
    why = std::string("no process can read it: ") + std::strerror(errno);
    return nullptr;
  }
  const pid_t child = fork();
  if (child < 0)
  {
    why = std::string("no process can read it: ") + std::strerror(errno);
    close(channel[0]);
    close(channel[1]);
    return nullptr;
  }
  if (child == 0)
  {
    close(channel[0]);
    ReadAndSend(reader, limits, channel[1]);
  }
  close(channel[1]);
  std::string reply;
  std::string ignored;
  ReadToEnd(channel[0], std::numeric_limits<long long>::max(), reply, ignored);
  close(channel[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR)
  {
  }

  if (WIFSIGNALED(status))
  {
    const int signal = WTERMSIG(status);
    if (signal == SIGALRM)
    {
      why = "reading it took longer than " + std::to_string(limits.SecondsLimit) + " s";
    }
    else if (signal == SIGKILL)
    {
      why = "reading it was stopped, probably for want of memory";
    }
    else
    {
      why = std::string("the toolkit's reader crashed on it (") + strsignal(signal) + ")";
    }
    return nullptr;
  }
  if (WEXITSTATUS(status) == OutOfMemoryStatus)
  {
    why = "reading it needs more than " + std::to_string(limits.MemoryLimitBytes >> 20) +
          " MiB of memory";
    return nullptr;
  }
  if (WEXITSTATUS(status) != 0 || reply.empty())
  {
    why = "the toolkit's reader failed on it";
    return nullptr;
  }
  if (reply[0] == ReasonFollows)
  {
    why = reply.substr(1);
    return nullptr;
  }
  vtkXMLPolyDataReader* copy = vtkXMLPolyDataReader::New();
  copy->ReadFromInputStringOn();
  copy->SetInputString(reply.substr(1));
  return copy;
}
