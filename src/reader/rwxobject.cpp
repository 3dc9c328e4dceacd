#include "reader/rwxobject.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>
#include <thread>

#include "platform/paths.h"
#include "platform/searchpath.h"
#include "platform/text.h"
#include "platform/textsafety.h"
#include "platform/ziparchive.h"
#include "reader/clumpreader.h"
#include "reader/lexedline.h"
#include "reader/modelimport.h"
#include "reader/textureload.h"
#include "reader/zippedmodel.h"

namespace pelorus {
namespace {

// The prefix, then at most kMaxQuotedChars of `text` (see BoundedQuote), then a double quote.
std::string Quoted(std::string_view prefix, std::string_view text) {
    std::string out(prefix);
    out += BoundedQuote(text);
    out.push_back('"');
    return out;
}

// The cache key of a texture: everything that changes the stored image.
std::string TextureKey(std::string_view fileName, std::string_view maskFileName, bool mirror) {
    std::string key = ToUpperAscii(fileName);
    key += '\0';
    key += ToUpperAscii(maskFileName);
    key += '\0';
    key += mirror ? 'M' : '-';
    return key;
}

// Error lines of a clump body at nesting depth `depth` (1 for a top-level clump) are indented
// by 4 * depth - 2 spaces; beyond the 256 levels a state can be saved for, the indentation stays
// that of level 256, so deep nesting cannot blow up the log.
std::string ClumpError(std::size_t depth, std::string_view prefix, std::string_view line) {
    return std::string(4 * std::min<std::size_t>(depth, 256) - 2, ' ') + Quoted(prefix, line);
}

uint64_t NextSerial() {
    static std::atomic<uint64_t> next{0};
    return next.fetch_add(1, std::memory_order_relaxed) + 1;
}

}  // namespace

// The folder cache and the image budget of one read: the caller's, or the object's own for the
// duration of its read. Whichever they are, the object keeps no pointer to them afterwards, nor
// any archive it opened.
class RWXObject::ReadScope {
public:
    explicit ReadScope(RWXObject& object) : object_(object) {
        ReadOptions& o = object.options_;
        if (!o.folders) o.folders = &folders_;
        if (!o.images) o.images = &images_;
    }
    ~ReadScope() {
        ReadOptions& o = object_.options_;
        o.folders = nullptr;
        o.images = nullptr;
        o.textureStore = nullptr;
        // The folders looked in stay known (Object Properties shows them); the rest goes.
        if (object_.textureSourcesReady_) object_.textureFolders_ = std::move(object_.textureSources_.dirs);
        object_.textureSources_ = {};
        object_.textureSourcesReady_ = false;
        object_.textureArchives_.clear();
        object_.modelArchive_.reset();
        object_.primitiveScratch_ = {};
        object_.log_ = nullptr;
    }
    ReadScope(const ReadScope&) = delete;
    ReadScope& operator=(const ReadScope&) = delete;

private:
    RWXObject& object_;
    FolderListingCache folders_;
    ImageBudget images_;
};

RWXObject::RWXObject(std::string_view path, double x, double y, double z, ErrorLog& log, ReadOptions options)
    : serial_(NextSerial()),
      path_(path),
      file_(InFolder(options.baseFolder, path)),
      offset_{x, y, z},
      log_(&log),
      options_(std::move(options)) {
    ReadScope scope(*this);
    if (IsZipName(path_)) {
        ReadZipped();
        return;
    }
    if (const std::optional<ImportFormat> format = ImportFormatOf(path_)) {
        ImportModel(*this, *format);
        for (const auto& clump : clumps_) ForEachClump(*clump, [](TClump& c) { c.FinishReading(); });
        Finish();
        return;
    }
    FileContents file;
    if (!file.Open(file_, kNoSizeLimit, options_.folders)) {
        Log(CannotOpenLine(path));
    } else {
        place_.file = ResolvePath(file_, options_.folders);
        Read(file.Text());
    }
}

RWXObject::RWXObject(FromMemory, std::string_view text, std::string_view path, double x, double y, double z,
                     ErrorLog& log, ReadOptions options)
    : serial_(NextSerial()), path_(path), file_(path), offset_{x, y, z}, log_(&log), options_(std::move(options)) {
    ReadScope scope(*this);
    place_.file = path_;
    Read(text);
}

std::string RWXObject::CannotOpenLine(std::string_view path) {
    if (IsZipName(path)) return ArchiveFailureLine(ZipStatus::CannotOpen, path);
    if (const std::optional<ImportFormat> format = ImportFormatOf(path)) return MissingImportLine(*format, path);
    return Quoted("Could Not Open File \"", path);
}

void RWXObject::ReadZipped() {
    ZipStatus status = ZipStatus::Ok;
    std::unique_ptr<ZipArchive> archive = ZipArchive::Open(file_, &status, options_.folders);
    if (!archive) {
        Log(ArchiveFailureLine(status, path_));
        return;
    }
    const std::string_view archiveName = FileNamePart(path_);
    const std::optional<std::size_t> member =
        FindModelScript(*archive, archiveName.substr(0, archiveName.size() - std::string_view(".zip").size()));
    if (!member) {
        Log(ArchiveFailureLine(ZipStatus::NotFound, path_));
        return;
    }
    std::vector<uint8_t> script;
    status = archive->Read(*member, script, kMaxZippedScriptBytes, options_.archivePassword);
    if (status != ZipStatus::Ok) {
        Log(ArchiveFailureLine(status, path_, kMaxZippedScriptBytes, !options_.archivePassword.empty()));
        return;
    }
    // What the script's lines write out is bounded by what it takes in the archive.
    zippedScriptBytes_ = archive->StoredSize(*member);
    const auto stored = static_cast<int64_t>(std::min<uint64_t>(zippedScriptBytes_, INT64_MAX / 16));
    maxWrittenVertices_ = std::max(kZippedGeometryFloor, stored * kZippedVerticesPerByte);
    maxWrittenTriangles_ = std::max(kZippedGeometryFloor, stored * kZippedTrianglesPerByte);
    place_.file = ResolvePath(file_, options_.folders);
    place_.member = archive->MemberNames()[*member];
    modelArchive_ = std::move(archive);
    Read(std::string_view(reinterpret_cast<const char*>(script.data()), script.size()));
}

std::unique_ptr<RWXObject> RWXObject::FromText(std::string_view text, double x, double y, double z, ErrorLog& log,
                                               ReadOptions options, std::string_view path) {
    return std::unique_ptr<RWXObject>(new RWXObject(FromMemory{}, text, path, x, y, z, log, std::move(options)));
}

RWXObject::~RWXObject() = default;

void RWXObject::Log(std::string_view line) {
    if (errorLines_ < kMaxErrorLines) {
        if (log_) {
            if (line_ == 0) {
                log_->Append(line);
            } else {
                place_.line = line_;
                log_->Append(line, place_);
            }
        }
        ++errorLines_;
    } else {
        ++unlistedErrors_;
    }
}

bool RWXObject::RoomForGeometry(int64_t vertices, int64_t triangles, Geometry kind, std::string_view line) {
    if (geometryStopped_) return false;
    std::string passed;
    if (vertices > options_.maxVertices - heldVertices_)
        passed = std::to_string(options_.maxVertices) + " vertices";
    else if (triangles > options_.maxTriangles - heldTriangles_)
        passed = std::to_string(options_.maxTriangles) + " triangles";
    else if (kind == Geometry::Written && vertices > maxWrittenVertices_ - (heldVertices_ - madeVertices_))
        passed = std::to_string(maxWrittenVertices_) + " vertices for a script of " +
                 std::to_string(zippedScriptBytes_) + " bytes in its archive";
    else if (kind == Geometry::Written && triangles > maxWrittenTriangles_ - (heldTriangles_ - madeTriangles_))
        passed = std::to_string(maxWrittenTriangles_) + " triangles for a script of " +
                 std::to_string(zippedScriptBytes_) + " bytes in its archive";
    else if (kind == Geometry::Made && vertices > options_.maxMadeVertices - madeVertices_)
        passed = std::to_string(options_.maxMadeVertices) + " vertices made by instances and primitives";
    else if (kind == Geometry::Made && triangles > options_.maxMadeTriangles - madeTriangles_)
        passed = std::to_string(options_.maxMadeTriangles) + " triangles made by instances and primitives";
    if (passed.empty()) return true;
    geometryStopped_ = true;
    Log(Quoted("Object:Too much geometry, more than " + passed + "; no more is read : \"", line));
    return false;
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
            // Geometry is ignored out here, well-formed or not.
            if (RunStateCommand(code, args, state_, *this) == StateResult::Malformed)
                Log(Quoted("Object:Invalid command : \"", line));
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
    std::string why;  // why a clump line was rejected
    line_ = 0;
    while (next(lexed)) {
        ++line_;
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
        current->SetSourceLine(static_cast<uint32_t>(std::min<uint64_t>(line_, UINT32_MAX)));
        switch (ReadClumpLexed(*current, *this, *lexed, &why)) {
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
                // A rejected geometry line says why after the line.
                if (why.empty()) {
                    Log(ClumpError(open.size(), "Clump:Invalid / Unknown command : \"", line));
                } else {
                    Log(ClumpError(open.size(), "Clump:Invalid / Unknown command : \"", line) + " " + why);
                    why.clear();
                }
                break;
            default:
                break;
        }
    }
    line_ = 0;
    while (!open.empty()) end();  // the file ended inside bodies

    readableEnd_ = nullptr;
    Finish();
}

TClump* RWXObject::AddClump() {
    clumps_.push_back(std::make_unique<TClump>());
    return clumps_.back().get();
}

void RWXObject::Finish() {
    materials_.FinishReading();
    for (const auto& clump : clumps_) clump->ComputeVertexNormals();

    if (unlistedErrors_ > 0) {
        if (log_)
            log_->Append(
                Quoted("Object:Too many errors, " + std::to_string(unlistedErrors_) + " more not listed : \"", path_));
        ++errorLines_;
    }
}

const TProto* RWXObject::FindProto(std::string_view name) const {
    const auto it = protoByName_.find(ToUpperAscii(name.substr(0, TProto::kMaxName)));
    return it == protoByName_.end() ? nullptr : protos_[it->second].get();
}

RWXObject::TextureSearch RWXObject::TextureSearchPlaces(FolderListingCache* folders) const {
    TextureSearch search;
    auto addDir = [&](const std::string& dir) {
        if (std::find(search.dirs.begin(), search.dirs.end(), dir) == search.dirs.end()) search.dirs.push_back(dir);
    };
    for (const std::string& dir : options_.firstTextureDirs) addDir(dir);
    const auto& first = options_.firstTextureDirs;
    for (std::string& dir : TextureSearchDirs(options_.programDir, options_.baseFolder, folders))
        if (std::find(first.begin(), first.end(), dir) == first.end()) search.dirs.push_back(std::move(dir));
    for (const std::string& dir : options_.extraTextureDirs) addDir(dir);
    if (!file_.empty())
        for (const std::string& dir : ModelFolderTextureDirs(file_, folders)) addDir(dir);
    if (IsZipName(path_) && !file_.empty()) search.archives.push_back(file_);
    for (const std::string& path : options_.textureArchives)
        search.archives.push_back(InFolder(options_.baseFolder, path));
    return search;
}

void RWXObject::PrepareTextureSources() {
    if (textureSourcesReady_) return;
    textureSourcesReady_ = true;
    TextureSources& sources = textureSources_;
    sources.folders = options_.folders;
    sources.fetcher = options_.fetcher;
    sources.password = options_.archivePassword;
    TextureSearch search = TextureSearchPlaces(options_.folders);
    sources.dirs = std::move(search.dirs);
    if (modelArchive_) sources.archives.push_back({modelArchive_.get(), file_});
    for (const std::string& path : options_.textureArchives) {
        std::string file = InFolder(options_.baseFolder, path);
        std::unique_ptr<ZipArchive> archive = ZipArchive::Open(file, nullptr, options_.folders);
        if (!archive) continue;
        sources.archives.push_back({archive.get(), std::move(file)});
        textureArchives_.push_back(std::move(archive));
    }
}

int32_t RWXObject::LoadTexture(std::string_view name, std::string_view mask) {
    if (!options_.loadTextures) return -1;
    TextureRequest request;
    request.fileName = TextureFileName(name);
    if (!IsLoadableTextureName(request.fileName)) return -1;
    request.fallbackFileName = TextureFallbackFileName(name);
    request.maskFileName = MaskFileName(mask);
    request.addressMode = state_.TextureAddressMode();
    request.mipmapped = state_.Mipmapping();
    const bool mirror = request.addressMode == AddressMode::Mirror;
    std::string key = TextureKey(request.fileName, request.maskFileName, mirror);
    if (const auto it = textureByName_.find(key); it != textureByName_.end()) return it->second;

    // A name that failed once fails the same way again: repeat its lines without searching again.
    if (const auto it = failedTextures_.find(key); it != failedTextures_.end()) {
        for (const std::string& line : it->second) Log(line);
        return kTextureMissing;
    }
    PrepareTextureSources();
    std::vector<std::string> errors;
    std::optional<TTexture> loaded;
    std::string foundKey;
    if (std::optional<FoundImage> found = FindTextureImage(request, textureSources_, errors)) {
        imagesRead_.push_back(found->file);
        // Found under the other name (NAME.png for NAME) of a texture loaded already: the same.
        foundKey = TextureKey(found->foundAs, request.maskFileName, mirror);
        if (const auto it = textureByName_.find(foundKey); it != textureByName_.end()) {
            textureByName_.emplace(std::move(key), it->second);
            return it->second;
        }
        // Decoded already by another object of the same load: the same pixels, this request's facts.
        const std::string storeKey =
            found->where + '\n' + ToUpperAscii(request.maskFileName) + (mirror ? "\nmirror" : "");
        if (const TextureStore::Kept* kept = options_.textureStore ? options_.textureStore->Find(storeKey) : nullptr) {
            loaded = kept->texture;
            loaded->name = found->foundAs;
            loaded->addressMode = request.addressMode;
            loaded->mipmapped = request.mipmapped ? 1 : 0;
            errors = kept->lines;
        } else {
            loaded = DecodeTextureImage(request, std::move(*found), textureSources_, options_.images, errors);
            if (loaded && options_.textureStore) options_.textureStore->Keep(storeKey, *loaded, errors);
        }
    }
    for (const std::string& line : errors) Log(line);
    if (!loaded) {
        missingTextures_.push_back(
            {request.fileName, request.maskFileName, errors.empty() ? std::string() : errors[0]});
        failedTextures_.emplace(std::move(key), std::move(errors));
        return kTextureMissing;
    }
    if (!loaded->maskFile.empty()) imagesRead_.push_back(loaded->maskFile);
    const auto index = static_cast<int32_t>(textures_.size());
    textures_.push_back(std::move(*loaded));
    textureByName_.emplace(std::move(key), index);
    textureByName_.emplace(std::move(foundKey), index);
    return index;
}

TextureFacts RWXObject::FactsOf(int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= textures_.size()) return {};
    const TTexture& t = textures_[static_cast<std::size_t>(index)];
    return {t.frameCount, t.mipmapped, t.hasMask, t.addressMode};
}

std::vector<std::string> RWXObject::FilesRead() const {
    std::vector<std::string> files;
    files.reserve(imagesRead_.size() + 1);
    if (!file_.empty()) files.push_back(file_);
    files.insert(files.end(), imagesRead_.begin(), imagesRead_.end());
    return files;
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
