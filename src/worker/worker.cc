#include "worker/worker.h"

#include <iostream>
#include <limits>

namespace {

// Each worker waits this long before its first job.
constexpr unsigned kStartPauseMs = 500;

// What happened to one job, for the report and the exit status.
struct JobOutcome {
  bool opened = false;       // measured before the tool ran
  bool remeasured = false;   // measured again after it
  bool tool_ok = false;
  std::uint64_t before = 0;
  std::uint64_t after = 0;
};

JobOutcome ProcessFile(const std::string& path, unsigned int level) {
  JobOutcome outcome;
  outcome.opened = platform::MeasureFile(path, &outcome.before);
  if (!outcome.opened) return outcome;

  const std::vector<std::string> arguments = ToolArguments(level, path);
  const platform::CommandResult result =
      platform::InterpreterKeeps(path) ? platform::RunCommand(ToolCommandLine(arguments))
                                       : platform::RunDirect(arguments);
  if (!result.started) {
    const std::string reason = platform::LastErrorText();
    platform::LockGuard guard(JobLock);
    std::cerr << "shrinkdir: cannot run the optimiser on " << path << ": " << reason
              << std::endl;
  }
  outcome.tool_ok = result.Succeeded();
  outcome.remeasured = platform::MeasureFile(path, &outcome.after);
  return outcome;
}

}  // namespace

bool OutputLost() { return !std::cout || platform::OutputGone(); }

std::vector<std::string> ToolArguments(unsigned int level, const std::string& path) {
  // The level goes out as a signed decimal, as the tool has always been given it.
  std::vector<std::string> arguments = {"optipng", "-q",  "-np", "-nb", "-nc", "-i0",
                                        "-o" + std::to_string(static_cast<int>(level))};
  if (!path.empty() && path[0] == '-') arguments.push_back("--");
  arguments.push_back(path);
  return arguments;
}

std::string ToolCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (std::size_t i = 0; i + 1 < arguments.size(); ++i) line += arguments[i] + ' ';
  return line + platform::QuoteForInterpreter(arguments.back());
}

double Ratio(std::uint64_t before, std::uint64_t after) {
  if (before == 0) return after == 0 ? 100.0 : std::numeric_limits<double>::infinity();
  const long double ratio =
      static_cast<long double>(after) / static_cast<long double>(before) * 100.0L;
  return static_cast<double>(ratio);
}

void WriteHeaderLine(std::ostream& out, unsigned int number, unsigned int total,
                     const std::string& name) {
  out << " (" << number << '/' << total << " file) " << name << std::endl;
}

void WriteResultLine(std::ostream& out, std::uint64_t before, std::uint64_t after) {
  out << before << " \x81\xA8 " << after << " byte (" << Ratio(before, after) << " %)\n"
      << std::endl;
}

void WriteFailureLine(std::ostream& out) { out << "Can't open file.\n" << std::endl; }

void CompressWorker(JobQueue* queue, unsigned int level) {
  unsigned int total;
  {
    platform::LockGuard guard(JobLock);
    total = JobTotal;
  }
  platform::SleepMilliseconds(kStartPauseMs);

  for (;;) {
    std::string path;
    {
      platform::LockGuard guard(JobLock);
      // After Ctrl-C, or once nobody reads the reports any more, no new file
      // is started; the jobs left stay unreported.
      if (queue->empty() || platform::InterruptRequested() || OutputLost()) return;
      path = std::move(queue->front());
      queue->pop_front();
    }
    const std::string name = platform::FileNamePart(path);
    const JobOutcome outcome = ProcessFile(path, level);

    platform::LockGuard guard(JobLock);
    WriteHeaderLine(std::cout, ++ReportCount, total, name);
    if (outcome.opened && outcome.remeasured) {
      WriteResultLine(std::cout, outcome.before, outcome.after);
    } else {
      WriteFailureLine(std::cout);
    }
    if (!(outcome.opened && outcome.remeasured && outcome.tool_ok)) ++FailedCount;
  }
}
