#pragma once
// One model read from one script and placed at an offset.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "geometry/materialtable.h"
#include "geometry/primitives.h"
#include "geometry/rwmaterial.h"
#include "geometry/tclump.h"
#include "geometry/tproto.h"
#include "platform/errorlog.h"
#include "reader/rwxstate.h"
#include "reader/texture.h"
#include "reader/textureload.h"

namespace pelorus {

class FolderListingCache;
class ZipArchive;

// One object writes at most this many error lines; the rest are counted in one closing line.
inline constexpr int64_t kMaxErrorLines = 10000;

// The most vertices and triangles one object holds by default, over all its clumps and
// prototypes, and the most of them that prototype instances and primitive shapes may make (a
// line of either can make a million triangles, or, instance upon instance, double what was made
// before; written-out geometry costs the script at least a line per vertex).
inline constexpr int64_t kDefaultMaxVertices = 50'000'000;
inline constexpr int64_t kDefaultMaxTriangles = 50'000'000;
inline constexpr int64_t kDefaultMaxMadeVertices = 4'000'000;
inline constexpr int64_t kDefaultMaxMadeTriangles = 4'000'000;

// A zipped model's script may unpack to far more than it takes in its archive (half a megabyte of
// one repeated line becomes 256 MiB), so what its lines write out is bounded by what it takes
// there too: at most kZippedVerticesPerByte vertices and kZippedTrianglesPerByte triangles per
// byte of the compressed script, and never less than kZippedGeometryFloor of each. Scripts people
// write compress far less than that asks for.
inline constexpr int64_t kZippedVerticesPerByte = 2;
inline constexpr int64_t kZippedTrianglesPerByte = 8;
inline constexpr int64_t kZippedGeometryFloor = 65536;

// Where a model and its textures are looked for, and how much of them is read.
struct ReadOptions {
    // The folder that relative names are taken from (the script's own path, relative folders of
    // the texture search path, texture archives); "" takes them as they are, from the process's
    // current folder.
    std::string baseFolder;
    // The folder holding TexturesPath.txt; "" means the folder of the running program.
    std::string programDir;
    // Folders searched before those of TexturesPath.txt (the textures folder of a world's object
    // path, for the models found there).
    std::vector<std::string> firstTextureDirs;
    // Folders searched after those of TexturesPath.txt.
    std::vector<std::string> extraTextureDirs;
    // Zip archives whose members are searched for textures and masks (by file name, in any
    // letter case) before any folder, in order. An archive that cannot be opened is passed over.
    // A zipped model's own archive comes before these.
    std::vector<std::string> textureArchives;
    // Opens the encrypted members of zipped models, of the archives searched for textures and of
    // zipped texture images and masks (traditional zip encryption and AES); "" for none. A member
    // it does not open is refused as one without a password is.
    std::string archivePassword;
    // False reads no image at all: every texture command leaves the material untextured.
    bool loadTextures = true;
    // Scripts of at least this many bytes have their plain vertex and face lines read ahead on a
    // second thread (the result is the same either way).
    std::size_t parallelFrom = std::size_t{2} << 20;
    // False carries out every line through the general line handlers, plain vertices and faces
    // included (for comparison; the result is the same).
    bool plainLinesAhead = true;
    // The geometry one object may hold (its clumps and prototypes together), and the part of it
    // that prototype instances and primitive shapes may make. A line whose geometry would pass
    // any of these counts is not carried out, one error line says so, and no geometry of that
    // object is read from then on; what was read stays.
    int64_t maxVertices = kDefaultMaxVertices;
    int64_t maxTriangles = kDefaultMaxTriangles;
    int64_t maxMadeVertices = kDefaultMaxMadeVertices;
    int64_t maxMadeTriangles = kDefaultMaxMadeTriangles;
    // Shared by everything one load reads: the folder listings of case-blind lookups, and the
    // bytes of decoded images the load may keep. Used only while an object is being read (they
    // must outlive that; an object keeps neither). Null: each object uses its own for its read.
    FolderListingCache* folders = nullptr;
    ImageBudget* images = nullptr;
    // The textures the load decoded, for the objects after the first that ask for the same
    // image; null decodes every texture an object asks for.
    TextureStore* textureStore = nullptr;
    // Brings textures and masks of a web object path into their folder of the disk cache as they
    // are looked for (see FolderFetcher); null when no folder searched stands for a remote one.
    // Used only while an object is being read.
    FolderFetcher* fetcher = nullptr;
    // Object maps read a script named by several entries once, and place that one model at every
    // entry (see LoadSceneObjects); false reads it for every entry (for comparisons).
    bool shareModels = true;
};

// A texture that a command asked for and that could not be used: not found in any folder
// searched, or found but not readable as an image.
struct MissingTexture {
    std::string name;    // the file name looked for ("wood.jpg")
    std::string mask;    // the mask's file name asked for with it, "" without one
    std::string reason;  // the first error line it gave
};

class RWXObject final : public TextureProvider {
public:
    // Reads the script at `path` (either separator; file names in any letter case; a relative
    // path from options.baseFolder), writing every reading problem to `log`, which is used only
    // while the constructor runs. A file that cannot be read gives an empty object and one error
    // line. A path ending in ".zip" (any letter case) names a zipped model: the script inside
    // (see FindModelScript, at most kMaxZippedScriptBytes) is read, and the archive is searched
    // for textures and masks before anything else; an archive that gives no script gives an empty
    // object and one error line (ArchiveFailureLine).
    // A script (or archive) in a folder named "models" (any letter case) also finds textures in
    // the "textures" folder beside that one (ModelFolderTextureDirs), after all other folders.
    // A path ending in ".gltf", ".glb" or ".obj" (any letter case) names a model of another
    // format, converted as it is read (see ImportModel).
    RWXObject(std::string_view path, double x, double y, double z, ErrorLog& log, ReadOptions options = {});
    // The one error line of a model whose file does not exist: what the constructor writes for
    // such a path.
    static std::string CannotOpenLine(std::string_view path);
    // Reads a script held in memory; `path` only names it.
    static std::unique_ptr<RWXObject> FromText(std::string_view text, double x, double y, double z, ErrorLog& log,
                                               ReadOptions options = {}, std::string_view path = "");
    ~RWXObject();
    RWXObject(const RWXObject&) = delete;
    RWXObject& operator=(const RWXObject&) = delete;

    // The object-level line handler: carries out state commands (a malformed one, see
    // RunStateCommand, writes `Object:Invalid command : "<line>"`), ignores geometry, and returns
    // the line's classification.
    RWXCommand HandleLine(std::string_view line);

    RWXState& State() { return state_; }
    // Save the current state while a body is read, and restore it afterwards. At most 256 states
    // are saved: PushState returns false (and saves nothing) beyond that, and the caller must then
    // not call PopState for that body.
    bool PushState();
    void PopState();
    int SavedStates() const { return static_cast<int>(saved_.size()); }

    // The first complete prototype whose name matches, ignoring letter case; nullptr if none.
    const TProto* FindProto(std::string_view name) const;

    int32_t LoadTexture(std::string_view name, std::string_view mask) override;
    TextureFacts FactsOf(int32_t index) const override;

    int64_t CountTriangles() const;
    int64_t CountTranslucentTriangles() const;

    // A number no other object of this process has, before or after it: tells an object apart
    // from one made later at the same address.
    uint64_t Serial() const { return serial_; }

    // The path as it was given, and the file it names as it was opened (after baseFolder; for a
    // zipped model, the archive).
    const std::string& Path() const { return path_; }
    const std::string& File() const { return file_; }
    const std::array<double, 3>& Offset() const { return offset_; }
    const std::vector<std::unique_ptr<TClump>>& Clumps() const { return clumps_; }
    const std::vector<std::unique_ptr<TProto>>& Prototypes() const { return protos_; }
    const std::vector<TTexture>& Textures() const { return textures_; }
    std::vector<TTexture>& Textures() { return textures_; }
    // The textures that could not be used, once each (by name and mask), in the order they were
    // first asked for.
    const std::vector<MissingTexture>& MissingTextures() const { return missingTextures_; }
    // The files reading the object opened: its script (for a zipped model, the archive), then
    // every file its textures and masks were read from (for a member, its archive), also those
    // that could not be used.
    std::vector<std::string> FilesRead() const;
    // The folders textures were looked for in, in order; empty when no texture was looked for.
    const std::vector<std::string>& TextureFolders() const { return textureFolders_; }
    // Where textures named after reading (by an action) are looked for, as the object's own were:
    // the folders in order, and the archives (its own, for a zipped model, then those of its read
    // options) by file path. Found afresh at each call; `folders` (may be null) keeps listings.
    struct TextureSearch {
        std::vector<std::string> dirs;
        std::vector<std::string> archives;
    };
    TextureSearch TextureSearchPlaces(FolderListingCache* folders = nullptr) const;
    // Face lines (Triangle, Quad, Polygon) accepted while reading.
    int64_t FacesRead() const { return facesRead_; }
    // Error lines this object's reading wrote. After 10,000 lines further problems are only
    // counted, and one last line says how many were not listed.
    int64_t ErrorLines() const { return errorLines_; }

    // The materials its batches are drawn with, each kept once.
    const MaterialTable& Materials() const { return materials_; }

    // Used by the clumps while they read, and by the importers of other formats.
    MaterialTable& Materials() { return materials_; }
    // A new, empty top-level clump (for the importers).
    TClump* AddClump();
    // How this object is being read (valid while it is: the folder cache and the image budget
    // are set then).
    const ReadOptions& Options() const { return options_; }
    std::vector<int32_t>& PolygonScratch() { return polygonScratch_; }
    std::vector<TTriangle>& TriangleScratch() { return triangleScratch_; }
    PrimitiveMesh& PrimitiveScratch() { return primitiveScratch_; }
    void CountFaceRead(int64_t faces = 1) { facesRead_ += faces; }
    // How geometry came to be: written out (vertices and faces), or made from a few numbers
    // (prototype instances, primitive shapes).
    enum class Geometry { Written, Made };
    // True when `vertices` more vertices and `triangles` more triangles fit in the geometry
    // budget (ReadOptions::maxVertices, maxTriangles, for made geometry maxMadeVertices,
    // maxMadeTriangles, and for written geometry of a zipped model what its size in the archive
    // allows, see kZippedVerticesPerByte) beside what the object holds. The first time they do not, one error line
    // quoting `line` says which count was passed; from then on no geometry fits any more. Nothing
    // is counted: CountGeometry does that once it is added.
    bool RoomForGeometry(int64_t vertices, int64_t triangles, Geometry kind, std::string_view line);
    void CountGeometry(int64_t vertices, int64_t triangles, Geometry kind) {
        heldVertices_ += vertices;
        heldTriangles_ += triangles;
        if (kind == Geometry::Made) {
            madeVertices_ += vertices;
            madeTriangles_ += triangles;
        }
    }
    // The budget was passed: no geometry is read any more.
    bool GeometryStopped() const { return geometryStopped_; }
    // Writes an error line of this object (counted, and capped as ErrorLines says). While a
    // script is read, the line is placed at the script line being carried out (see LogPlace).
    void Log(std::string_view line);
    // The script line being carried out, counted from 1 as LineReader splits the text; 0 when
    // no script line is (before and after reading, and for models of other formats).
    uint64_t CurrentLine() const { return line_; }
    // The end of the text being read: lines may be looked ahead of up to there.
    const char* ReadableEnd() const { return readableEnd_; }

private:
    struct FromMemory {};
    class ReadScope;
    RWXObject(FromMemory, std::string_view text, std::string_view path, double x, double y, double z, ErrorLog& log,
              ReadOptions options);
    void Read(std::string_view text);
    void ReadZipped();
    // After the last clump was built: materials and clumps finish, normals are computed and the
    // errors not listed are counted in one line.
    void Finish();
    void PrepareTextureSources();

    uint64_t serial_;
    std::string path_;
    std::string file_;
    std::array<double, 3> offset_;
    ErrorLog* log_ = nullptr;  // while reading
    ReadOptions options_;
    RWXState state_;
    std::vector<RWXState> saved_;
    MaterialTable materials_;  // before the clumps and prototypes, whose batches refer to it
    std::vector<std::unique_ptr<TClump>> clumps_;
    std::vector<std::unique_ptr<TProto>> protos_;
    std::unordered_map<std::string, std::size_t> protoByName_;  // upper-cased name -> first
    std::vector<TTexture> textures_;
    // Upper-cased file name, mask file name and Mirror expansion -> index; under the name asked
    // for and under the name the file was found as.
    std::unordered_map<std::string, int32_t> textureByName_;
    std::unordered_map<std::string, std::vector<std::string>> failedTextures_;  // their error lines
    // While reading: where textures are looked for, and the archives among those places.
    TextureSources textureSources_;
    bool textureSourcesReady_ = false;
    std::unique_ptr<ZipArchive> modelArchive_;  // a zipped model's own archive
    std::vector<std::unique_ptr<ZipArchive>> textureArchives_;
    PrimitiveMesh primitiveScratch_;
    int64_t heldVertices_ = 0;
    int64_t heldTriangles_ = 0;
    int64_t madeVertices_ = 0;
    int64_t madeTriangles_ = 0;
    // A zipped model's bound on written geometry, and the script's compressed size it comes from
    // (0: not zipped, no bound).
    int64_t maxWrittenVertices_ = INT64_MAX;
    int64_t maxWrittenTriangles_ = INT64_MAX;
    uint64_t zippedScriptBytes_ = 0;
    bool geometryStopped_ = false;
    std::vector<MissingTexture> missingTextures_;
    std::vector<std::string> imagesRead_;
    std::vector<std::string> textureFolders_;
    int64_t facesRead_ = 0;
    int64_t errorLines_ = 0;
    int64_t unlistedErrors_ = 0;
    const char* readableEnd_ = nullptr;
    // Where the error lines of the script being read are: its file (resolved as it was opened),
    // and the line being carried out.
    LogPlace place_;
    uint64_t line_ = 0;
    std::vector<int32_t> polygonScratch_;
    std::vector<TTriangle> triangleScratch_;
};

}  // namespace pelorus
