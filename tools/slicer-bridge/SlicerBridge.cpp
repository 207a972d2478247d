// One slicing run: the model measured, the engine run, its G-code rewritten into the target file.
#include "SlicerBridge.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AtomicFileWriter.h"
#include "FileIni.h"
#include "GeBuildVolume.h"
#include "Cancel.h"
#include "ChildProcess.h"
#include "EngineOutput.h"
#include "GCodeRewrite.h"
#include "MeshHoles.h"
#include "PrintMode.h"
#include "ProgramFolder.h"
#include "SameFile.h"
#include "WorkFolder.h"

namespace bridge {

namespace {

// A file mapped whole for reading; empty text for an empty file.
class MappedFile {
public:
    ~MappedFile()
    {
        if (m_data != nullptr)
            ::munmap(m_data, m_size);
    }

    bool Open(const std::string& path, std::string& error)
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (fd < 0 || ::fstat(fd, &info) != 0) {
            error = std::strerror(errno);
            if (fd >= 0)
                ::close(fd);
            return false;
        }
        m_size = static_cast<std::size_t>(info.st_size);
        if (m_size > 0) {
            void* data = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (data == MAP_FAILED) {
                error = std::strerror(errno);
                ::close(fd);
                return false;
            }
            m_data = data;
            ::madvise(m_data, m_size, MADV_SEQUENTIAL);
        }
        ::close(fd);
        return true;
    }

    std::string_view Text() const { return {static_cast<const char*>(m_data), m_data != nullptr ? m_size : 0}; }

private:
    void* m_data = nullptr;
    std::size_t m_size = 0;
};

int Fail(const LineWriter& say, int code, const std::string& reason)
{
    say(slicelines::ErrorLine(reason));
    return code;
}

int Cancelled(const LineWriter& say)
{
    return Fail(say, kExitCancelled, "slicing cancelled");
}

bool ReadTextFile(const std::string& path, std::string& text, std::string& error)
{
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = errno != 0 ? std::strerror(errno) : "cannot open";
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read";
        return false;
    }
    return true;
}

// The model's height through the project's own loader, which refuses what
// the printer could not use, with its reason: a model beyond the build volume,
// which the plate would refuse, is refused here too.
bool LoadModel(const std::string& path, ZELKGePrint& mesh, double& heightMm, std::string& error)
{
    if (!zelk::LoadStlFile(path, mesh, error))
        return false;
    ZELKGePoint3d low, high;
    mesh.GetMinMaxPoint(low, high);
    heightMm = high.z - low.z;
    if (!(heightMm > 0)) {
        error = path + ": the model has no height";
        return false;
    }
    if (const std::string beyond = zelk::ProfileBuildVolume().Beyond(low, high); !beyond.empty()) {
        error = path + ": the model lies beyond the build volume (" + beyond + "); move or scale it onto the plate";
        return false;
    }
    return true;
}

// The engine takes a name that starts with '-' for an option.
std::string EngineSafePath(const std::string& path)
{
    return !path.empty() && path[0] == '-' ? "./" + path : path;
}

// The engine drops every slice an open mesh leaves unclosed, so an open
// model is handed over with its holes closed: the file the engine reads.
bool PrepareModel(const std::string& modelPath, const ZELKGePrint& mesh, const WorkFolder& work,
                  std::string& engineModel, const LineWriter& say, std::string& error)
{
    std::size_t holes = 0;
    const std::vector<Triangle> patches = CloseHoles(mesh.GetGePrint(), holes);
    engineModel = EngineSafePath(modelPath);
    if (holes == 0)
        return true;
    engineModel = work.File("closed.stl");
    if (!WriteBinaryStl(engineModel, mesh.GetGePrint(), patches, error))
        return false;
    say("Model repair: closed " + std::to_string(holes) + (holes == 1 ? " hole" : " holes") + " in " + modelPath +
        " before slicing");
    return true;
}

// `text` with every `from` replaced by `to`.
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); !from.empty() && at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Runs the engine to its end, turning its stage lines into progress. Its
// complaints about the model it read are reported against the user's model.
int RunEngine(const std::vector<std::string>& argv, int totalLayers, const std::string& engineModel,
              const std::string& userModel, const LineWriter& say)
{
    zelk::ChildProcess engine;
    std::string error;
    if (!engine.Start(argv, error))
        return Fail(say, kExitNoEngine, "the slicing engine is not installed (Debian package prusa-slicer): " + error);
    SetEngineGroup(engine.Pid());
    if (CancelRequested())
        engine.Terminate();
    StageProgress progress(totalLayers);
    EngineMessages messages;
    std::string line;
    while (engine.ReadLine(line)) {
        if (progress.Feed(line))
            say(InsetLine(progress.Layer()));
        messages.Feed(line);
    }
    SetEngineGroup(0);
    const int code = engine.Wait();
    if (CancelRequested())
        return Cancelled(say);
    if (code != 0)
        return Fail(say, kExitFailed, "slicing failed: " + ReplaceAll(messages.Reason(code), engineModel, userModel));
    return kExitOk;
}

int RewriteStatusCode(RewriteStatus status, const GCodeRewriter& rewriter, const zelk::AtomicFileWriter& writer,
                      const LineWriter& say)
{
    switch (status) {
    case RewriteStatus::kOk: return kExitOk;
    case RewriteStatus::kCancelled: return Cancelled(say);
    case RewriteStatus::kWriteFailed: return Fail(say, kExitCannotWrite, writer.Error());
    case RewriteStatus::kRefused: break;
    }
    return Fail(say, kExitFailed, "cannot use the engine's G-code: " + rewriter.Error());
}

// Counts the layers first (and refuses what cannot be rewritten before any
// file is made), then writes the rewrite beside the target and renames it.
int WriteGCode(const std::string& startText, std::string_view engineText, const BridgeOptions& options,
               const std::string& output, const LineWriter& say)
{
    zelk::AtomicFileWriter writer(output);
    GCodeRewriter counter;
    counter.SetCancelCheck(CancelRequested);
    counter.WriteStart(startText);
    if (const int code = RewriteStatusCode(counter.Rewrite(engineText), counter, writer, say); code != kExitOk)
        return code;
    const std::size_t layers = counter.Layers();
    if (!writer.Open())
        return Fail(say, kExitCannotWrite, writer.Error());
    GCodeRewriter rewriter([&writer](std::string_view chunk) { return writer.Write(chunk.data(), chunk.size()); });
    rewriter.SetCancelCheck(CancelRequested);
    rewriter.SetLayerObserver([&](std::size_t layer) { say(FillLine(layer, layers)); });
    RewriteStatus status = rewriter.WriteStart(startText);
    if (status == RewriteStatus::kOk)
        status = rewriter.Rewrite(engineText);
    if (status == RewriteStatus::kOk)
        status = rewriter.Finish();
    if (const int code = RewriteStatusCode(status, rewriter, writer, say); code != kExitOk)
        return code;
    if (options.raft)
        for (std::size_t k = 1; k <= rewriter.RaftLayers(); ++k)
            say(RaftLine(k));
    if (CancelRequested())
        return Cancelled(say);
    if (!writer.Commit(false))
        return Fail(say, kExitCannotWrite, writer.Error());
    say(SavedLine(output));
    return kExitOk;
}

}  // namespace

int RunBridge(const BridgeOptions& options, const LineWriter& say)
{
    const std::string startPath = options.startGCodePath.empty()
                                      ? zelk::UserFileOrShipped(ProfileStartGCodePath("", options.profile))
                                      : options.startGCodePath;
    std::string startText, error;
    if (!ReadTextFile(startPath, startText, error))
        return Fail(say, kExitBadStartGCode, "cannot read the start G-code " + startPath + ": " + error);
    if (!CheckStartGCode(startText, error))
        return Fail(say, kExitBadStartGCode, "the start G-code " + startPath + " is not usable: " + error);

    double heightMm = 0;
    std::string engineModel;
    const std::string output = options.outputPath.empty() ? DefaultOutputPath(options.modelPath) : options.outputPath;
    if (const std::string refusal = zelk::WritesOverInput(output, {options.modelPath, startPath}); !refusal.empty())
        return Fail(say, kExitUsage, refusal);
    if (std::error_code ec; std::filesystem::is_directory(output, ec))
        return Fail(say, kExitUsage, "'" + output + "' is a folder: name the G-code file to write in it, for example " +
                                         (std::filesystem::path(output) / "model.gcode").string());
    WorkFolder work;
    {
        ZELKGePrint mesh;
        if (!LoadModel(options.modelPath, mesh, heightMm, error))
            return Fail(say, kExitFailed, error);
        if (!work.Create(output, error))
            return Fail(say, kExitCannotWrite, error);
        if (!PrepareModel(options.modelPath, mesh, work, engineModel, say, error))
            return Fail(say, kExitCannotWrite, error);
    }
    if (CancelRequested())
        return Cancelled(say);

    const std::string engineOutput = work.File("engine.gcode");
    const EngineSettings settings = DeriveEngineSettings(options);
    const std::string engine = ChooseEngine(options.enginePath, std::getenv("MORVADIN_SLICER_ENGINE"));
    const int totalLayers = EstimateLayerCount(heightMm, settings);
    say(InsetTotalLine(totalLayers));
    const std::vector<std::string> argv = EngineCommandLine(engine, settings, engineOutput, engineModel);
    if (const int code = RunEngine(argv, totalLayers, engineModel, options.modelPath, say); code != kExitOk)
        return code;

    MappedFile gcode;
    if (!gcode.Open(engineOutput, error))
        return Fail(say, kExitFailed, "the slicing engine wrote no G-code (" + error + ")");
    return WriteGCode(startText, gcode.Text(), options, output, say);
}

}  // namespace bridge
