#include "app/command_line.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <set>

#include "app/conversion_form.h"
#include "app/conversion_pool.h"
#include "app/messages.h"
#include "format/payload_check.h"
#include "platform/confinement.h"
#include "platform/cpu_count.h"
#include "platform/known_folders.h"
#include "platform/paths.h"
#include "platform/replacement_file.h"
#include "platform/temp_folder.h"
#include "ui/application.h"

namespace lorvante {
namespace {

constexpr char kUsageLine[] = "usage: lorvante [-h | -V] [-o PATH] [--batch] [--] [FILE.des ...]\n";
constexpr char kUsageDetails[] =
    "Decrypts each encrypted FILE in turn: a text payload is saved where the save dialog says,\n"
    "a zip payload is extracted into the folder the folder dialog picks. Without a FILE the\n"
    "program asks for one in an open dialog (on a display) or prints this usage.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "  -o PATH        answer the save or folder dialog with PATH (a folder when several\n"
    "                 files are given)\n"
    "  --batch        ask nothing: existing files are kept, entries that need a password or\n"
    "                 have damaged data are not extracted; what was not done is reported\n"
    "  --             end of options: every later argument is a file\n"
    "\n"
    "Exit status in the terminal: 0 every file converted, 1 at least one failed or was\n"
    "cancelled, 2 usage error, 128+n after signal n.\n";
constexpr char kUnknownOption[] = "unknown option: ";
constexpr char kMissingValue[] = "option needs a value: ";
constexpr char kOutputOption[] = "-o";
constexpr char kBatchOption[] = "--batch";

bool IsOptionLike(const std::string& argument) {
  return argument.size() > 1 && argument[0] == '-';
}

void Choose(CommandLine& result, CommandLine::Action action) {
  if (result.action == CommandLine::Action::kConvert) result.action = action;
}

void UsageError(CommandLine& result, const std::string& error) {
  if (result.action != CommandLine::Action::kConvert) return;
  result.action = CommandLine::Action::kUsageError;
  result.error = error;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine result;
  bool options_ended = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (options_ended || !IsOptionLike(argument)) {
      result.files.push_back(argument);
    } else if (argument == "--") {
      options_ended = true;
    } else if (argument == "-h" || argument == "--help") {
      Choose(result, CommandLine::Action::kHelp);
    } else if (argument == "-V" || argument == "--version") {
      Choose(result, CommandLine::Action::kVersion);
    } else if (argument == kBatchOption) {
      result.batch = true;
    } else if (argument == kOutputOption) {
      if (i + 1 == arguments.size()) {
        UsageError(result, kMissingValue + argument);
      } else if (arguments[++i].empty()) {
        UsageError(result, kMissingValue + argument);
      } else {
        result.output = arguments[i];
      }
    } else {
      UsageError(result, kUnknownOption + argument);
    }
  }
  return result;
}

std::string UsageText() {
  return std::string(kUsageLine) + "\n" + kUsageDetails;
}

std::string UsageLine() {
  return kUsageLine;
}

std::string VersionText() {
  return std::string("lorvante ") + LORVANTE_VERSION + "\n" + ConfinementSummary() + "\n";
}

OpenDialogRequest InputFileRequest() {
  OpenDialogRequest request;
  request.title = messages::kOpenTitle;
  request.initial_dir = GetDocumentsFolder();
  request.filters = {{messages::kEncryptedFiles, "*.des"}, {messages::kAllFiles, "*"}};
  // The types the program installs: a tagged file is known by its first bytes, whatever its name.
  request.first_filter_types = {"application/x-lorvante-bare", "application/x-lorvante-tagged"};
  return request;
}

namespace {

// Conversions under way at once, per worker: enough to keep every worker busy while the oldest
// one's words are said, few enough that memory stays flat over any number of files.
constexpr std::size_t kPendingPerWorker = 2;

// The turns of the files: what each conversion is about, and where it starts from.
class Turns {
 public:
  Turns(const std::string& program, const std::vector<std::string>& files)
      : program_(program), files_(files), start_(GetCurrentDir()) {}

  const std::string& File(std::size_t i) const { return files_[i]; }
  std::vector<std::string> Arguments(std::size_t i) const { return {program_, files_[i]}; }

  // File i is the subject of what is said next: with several files, the titles name it.
  void Begin(std::size_t i) const {
    Application.Subject = files_.size() > 1 ? ExtractFileName(files_[i]) : std::string();
    ++Application.SubjectTurn;
  }

  // File i is converted on the calling thread, from the folder the first one started in.
  bool ConvertHere(std::size_t i, const std::function<bool()>& convert) const {
    // A folder dialog moves the current directory to the folder chosen; each conversion starts
    // from where the program was started, so that a relative name means the same for every
    // file. When the starting folder has gone, an absolute name still serves.
    ReturnToStart();
    Application.SetArguments(Arguments(i));
    Begin(i);
    const bool complete = convert();
    // Conversions running beside later ones read their relative names from here as well.
    ReturnToStart();
    return complete;
  }

  ~Turns() { Application.Subject.clear(); }

 private:
  void ReturnToStart() const {
    if (!start_.empty()) (void)!chdir(start_.c_str());
  }

  const std::string& program_;
  const std::vector<std::string>& files_;
  const std::string start_;
};

// A path as the conversion will meet it: the end of its links when it exists.
std::string Resolved(const std::string& path) {
  return ResolvedFileName(path);
}

// Whether `file` starts with the tag of a zip payload; false too when it cannot be read (its
// conversion then only says so).
bool StartsWithTag(const std::string& file) {
  const int fd = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  std::array<std::uint8_t, kZipTagSize> head{};
  const bool tagged = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                      read(fd, head.data(), head.size()) == static_cast<ssize_t>(head.size()) &&
                      IsZipTag(head);
  close(fd);
  return tagged;
}

// The names the files running at once use; a file that would share one waits for them. A file's
// names are given back once it has ended: a file started later finds its results, as it would
// one after the other.
class Claims {
 public:
  // Claims the input, the output and the temporary name of `file` under `answers`; false, and
  // nothing claimed, when one is claimed already.
  bool Take(const std::string& file, const PresetUserInterface& answers) {
    std::vector<std::string> names = {
        "in:" + Resolved(file),
        "out:" + Resolved(answers.ChosenPath(DefaultOutputName(ExpandFileName(file)))),
        "temp:" + TempFileNameFor("", file)};
    for (const std::string& name : names) {
      if (claimed_.contains(name) || claimed_.contains(Other(name))) return false;
    }
    claimed_.insert(names.begin(), names.end());
    held_.push_back(std::move(names));
    return true;
  }
  // Gives back the names of the file claimed first of those still held.
  void ReleaseOldest() {
    for (const std::string& name : held_.front()) claimed_.erase(name);
    held_.pop_front();
  }

 private:
  // An input and an output are one file when their paths are one.
  static std::string Other(const std::string& name) {
    if (name.starts_with("in:")) return "out:" + name.substr(3);
    if (name.starts_with("out:")) return "in:" + name.substr(4);
    return name;
  }

  std::set<std::string> claimed_;
  std::deque<std::vector<std::string>> held_;  // in the order taken
};

}  // namespace

bool ConvertEach(const std::string& program, const std::vector<std::string>& files,
                 const std::function<bool()>& convert) {
  // The files share one run folder, and each output folder is searched once for what killed
  // runs left there.
  const RunFolderHold run_folder;
  const StaleSweepMemory stale_sweep;
  const Turns turns(program, files);
  bool all = true;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!turns.ConvertHere(i, convert)) all = false;
  }
  return all;
}

bool ConvertEach(const std::string& program, const std::vector<std::string>& files,
                 const std::function<bool()>& convert, const PresetUserInterface& answers) {
  const std::size_t workers = UsableCores();
  if (!answers.Answers().batch || files.size() < 2 || workers < 2) {
    return ConvertEach(program, files, convert);
  }
  const RunFolderHold run_folder;
  const StaleSweepMemory stale_sweep;
  const Turns turns(program, files);
  bool all = true;
  std::deque<std::size_t> running;  // the files started on the pool, in order
  Claims claims;
  ConversionPool pool(workers, convert, answers.Answers());
  const auto finish_oldest = [&] {
    const std::unique_ptr<ConversionPool::Finished> finished = pool.TakeOldest();
    claims.ReleaseOldest();
    turns.Begin(running.front());
    running.pop_front();
    finished->words.Replay(Application.UI());
    if (!finished->complete) all = false;
  };
  const auto finish_all = [&] {
    while (!running.empty()) finish_oldest();
  };
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string& file = turns.File(i);
    if (StartsWithTag(file)) {
      finish_all();
      if (!turns.ConvertHere(i, convert)) all = false;
      continue;
    }
    if (!claims.Take(file, answers)) {
      finish_all();
      claims.Take(file, answers);
    }
    if (running.size() == workers * kPendingPerWorker) finish_oldest();
    pool.Start(turns.Arguments(i));
    running.push_back(i);
  }
  finish_all();
  return all;
}

}  // namespace lorvante
