#include "reader/rwxobject.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>
#include <thread>

#include "platform/paths.h"
#include "platform/searchpath.h"
#include "platform/text.h"
#include "reader/clumpreader.h"
#include "reader/lexedline.h"
#include "reader/textureload.h"

namespace pelorus {
namespace {

std::string Quoted(std::string_view prefix, std::string_view text) {
    std::string out;
    out.reserve(prefix.size() + text.size() + 1);
    out.append(prefix).append(text).push_back('"');
    return out;
}

// Error lines of a clump body at nesting depth `depth` (1 for a top-level clump) are indented
// by 4 * depth - 2 spaces; beyond the 256 levels a state can be saved for, the indentation stays
// that of level 256, so deep nesting cannot blow up the log.
std::string ClumpError(std::size_t depth, std::string_view prefix, std::string_view line) {
    return std::string(4 * std::min<std::size_t>(depth, 256) - 2, ' ') + Quoted(prefix, line);
}

// One object writes at most this many error lines; the rest are counted in one closing line.
constexpr int64_t kMaxErrorLines = 10000;

uint64_t NextSerial() {
    static std::atomic<uint64_t> next{0};
    return next.fetch_add(1, std::memory_order_relaxed) + 1;
}

}  // namespace

RWXObject::RWXObject(std::string_view path, double x, double y, double z, ErrorLog& log, ReadOptions options)
    : serial_(NextSerial()),
      path_(path),
      file_(InFolder(options.baseFolder, path)),
      offset_{x, y, z},
      log_(&log),
      options_(std::move(options)) {
    FileContents file;
    if (!file.Open(file_)) {
        Log(Quoted("Could Not Open File \"", path));
    } else {
        Read(file.Text());
    }
    log_ = nullptr;
}

RWXObject::RWXObject(FromMemory, std::string_view text, std::string_view path, double x, double y, double z,
                     ErrorLog& log, ReadOptions options)
    : serial_(NextSerial()), path_(path), file_(path), offset_{x, y, z}, log_(&log), options_(std::move(options)) {
    Read(text);
    log_ = nullptr;
}

std::unique_ptr<RWXObject> RWXObject::FromText(std::string_view text, double x, double y, double z, ErrorLog& log,
                                               ReadOptions options, std::string_view path) {
    return std::unique_ptr<RWXObject>(new RWXObject(FromMemory{}, text, path, x, y, z, log, std::move(options)));
}

RWXObject::~RWXObject() = default;

void RWXObject::Log(std::string_view line) {
    if (errorLines_ < kMaxErrorLines) {
        if (log_) log_->Append(line);
        ++errorLines_;
    } else {
        ++unlistedErrors_;
    }
}

RWXCommand RWXObject::HandleLine(std::string_view line) {
    LineTokens args(line, readableEnd_);
    const RWXCommand code = CommandCode(args.Word());
    switch (code) {
        case RWXCommand::ClumpBegin:
        case RWXCommand::ClumpEnd:
        case RWXCommand::ModelBegin:
        case RWXCommand::ModelEnd:
        case RWXCommand::ProtoBegin:
        case RWXCommand::ProtoEnd:
        case RWXCommand::Comment:
        case RWXCommand::Unknown:
        case RWXCommand::Empty:
            return code;
        default:
            RunStateCommand(code, args, state_, *this);  // geometry is ignored out here
            return RWXCommand::Empty;
    }
}

bool RWXObject::PushState() {
    if (saved_.size() >= 256) return false;
    saved_.push_back(state_);
    return true;
}

void RWXObject::PopState() {
    if (saved_.empty()) return;
    state_ = std::move(saved_.back());
    saved_.pop_back();
}

void RWXObject::Read(std::string_view text) {
    struct OpenBody {
        TClump* clump;
        bool scoped;  // its state was saved at its start
    };
    std::vector<OpenBody> open;
    std::unique_ptr<TProto> proto;  // the prototype being read, added once complete

    bool toldTooDeep = false;
    auto begin = [&](TClump* clump, std::string_view line) {
        const bool scoped = PushState();
        open.push_back({clump, scoped});
        if (!scoped && !toldTooDeep) {
            Log(ClumpError(open.size(), "Clump:Nested too deeply, state not saved : \"", line));
            toldTooDeep = true;
        }
    };
    auto end = [&] {
        if (open.back().scoped) PopState();
        open.back().clump->FinishReading();
        open.pop_back();
        if (open.empty() && proto) {
            std::string key = ToUpperAscii(proto->Name());
            protoByName_.try_emplace(std::move(key), protos_.size());
            protos_.push_back(std::move(proto));
        }
    };

    readableEnd_ = text.data() + text.size();
    // Large scripts have their plain geometry lines read ahead on a second thread.
    std::optional<LexPipeline> pipeline;
    if (options_.plainLinesAhead && text.size() >= options_.parallelFrom && std::thread::hardware_concurrency() > 1)
        pipeline.emplace(text);
    LineReader lines(text);
    LexedLine here;
    auto next = [&](const LexedLine*& lexed) {
        if (pipeline) return pipeline->Next(lexed);
        std::string_view text_line;
        if (!lines.Next(text_line)) return false;
        if (options_.plainLinesAhead) {
            LexLine(here, text_line, readableEnd_);
        } else {
            here.line = text_line;
            here.kind = LexedLine::Other;
        }
        lexed = &here;
        return true;
    };
    const LexedLine* lexed = nullptr;
    while (next(lexed)) {
        const std::string_view line = lexed->line;
        if (open.empty()) {
            // Geometry out here is accepted and ignored.
            const RWXCommand code = lexed->kind == LexedLine::Other ? HandleLine(line) : RWXCommand::Empty;
            if (code == RWXCommand::ModelEnd) break;
            switch (code) {
                case RWXCommand::ClumpBegin:
                    clumps_.push_back(std::make_unique<TClump>());
                    begin(clumps_.back().get(), line);
                    break;
                case RWXCommand::ProtoBegin: {
                    LineTokens args(line);
                    args.Word();
                    proto = std::make_unique<TProto>(args.Word());
                    begin(proto.get(), line);
                    break;
                }
                case RWXCommand::ClumpEnd:
                case RWXCommand::ProtoEnd:
                    Log(Quoted("Object:Cannot use command here : \"", line));
                    break;
                case RWXCommand::Unknown:
                    Log(Quoted("Object:Unknown command : \"", line));
                    break;
                default:
                    break;
            }
            continue;
        }
        TClump* current = open.back().clump;
        switch (ReadClumpLexed(*current, *this, *lexed)) {
            case RWXCommand::ClumpBegin:
                begin(current->AddChild(), line);
                break;
            case RWXCommand::ClumpEnd:
            case RWXCommand::ProtoEnd:
                end();
                break;
            case RWXCommand::ModelBegin:
            case RWXCommand::ModelEnd:
            case RWXCommand::ProtoBegin:
            case RWXCommand::Unknown:
                Log(ClumpError(open.size(), "Clump:Invalid / Unknown command : \"", line));
                break;
            default:
                break;
        }
    }
    while (!open.empty()) end();  // the file ended inside bodies

    readableEnd_ = nullptr;
    for (const auto& clump : clumps_) clump->ComputeVertexNormals();

    if (unlistedErrors_ > 0) {
        if (log_)
            log_->Append("Object:Too many errors, " + std::to_string(unlistedErrors_) + " more not listed : \"" +
                         path_ + "\"");
        ++errorLines_;
    }
}

const TProto* RWXObject::FindProto(std::string_view name) const {
    const auto it = protoByName_.find(ToUpperAscii(name.substr(0, TProto::kMaxName)));
    return it == protoByName_.end() ? nullptr : protos_[it->second].get();
}

int32_t RWXObject::LoadTexture(std::string_view name, std::string_view mask) {
    if (!options_.loadTextures) return -1;
    TextureRequest request;
    request.fileName = TextureFileName(name);
    if (!IsLoadableTextureName(request.fileName)) return -1;
    request.fallbackFileName = TextureFallbackFileName(name);
    std::string key = ToUpperAscii(request.fileName);
    if (const auto it = textureByName_.find(key); it != textureByName_.end()) return it->second;

    request.maskFileName = MaskFileName(mask);
    request.addressMode = state_.TextureAddressMode();
    request.mipmapped = state_.Mipmapping();
    // A name that failed once fails the same way again: repeat its lines without searching again.
    const std::string failKey = key + '\0' + ToUpperAscii(request.maskFileName);
    if (const auto it = failedTextures_.find(failKey); it != failedTextures_.end()) {
        for (const std::string& line : it->second) Log(line);
        return -1;
    }
    if (!textureDirsRead_) {
        textureDirs_ = TextureSearchDirs(options_.programDir, options_.baseFolder);
        textureDirs_.insert(textureDirs_.end(), options_.extraTextureDirs.begin(), options_.extraTextureDirs.end());
        textureDirsRead_ = true;
    }
    std::vector<std::string> errors;
    std::optional<TTexture> loaded = LoadTextureImage(request, textureDirs_, errors);
    for (const std::string& line : errors) Log(line);
    if (!loaded) {
        missingTextures_.push_back(
            {request.fileName, request.maskFileName, errors.empty() ? std::string() : errors[0]});
        failedTextures_.emplace(failKey, std::move(errors));
        return -1;
    }
    const auto index = static_cast<int32_t>(textures_.size());
    textures_.push_back(std::move(*loaded));
    textureByName_.emplace(std::move(key), index);
    return index;
}

TextureFacts RWXObject::FactsOf(int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= textures_.size()) return {};
    const TTexture& t = textures_[static_cast<std::size_t>(index)];
    return {t.frameCount, t.mipmapped, t.hasMask, t.addressMode};
}

int64_t RWXObject::CountTriangles() const {
    int64_t total = 0;
    for (const auto& c : clumps_) total += c->CountTriangles();
    return total;
}

int64_t RWXObject::CountTranslucentTriangles() const {
    int64_t total = 0;
    for (const auto& c : clumps_) total += c->CountTranslucentTriangles();
    return total;
}

}  // namespace pelorus
