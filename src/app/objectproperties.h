#pragma once
// The Object Properties window: a modeless tool window with the pages General (world, file,
// faces, triangles and the bounds in model units and centimetres), Textures (one row per texture, those that could not
// be used too, and the folders searched) and Errors (the error log of the run, or of the last load only, with a heading
// where each load began, and its line count) and Face (where the face picked in the view comes from). Closing it (close
// box, OK, Enter, Escape) only hides it.

#include <QDialog>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "shell/objectinfo.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QPlainTextEdit;
class QTabWidget;
class QTreeWidget;

namespace pelorus {

class ObjectProperties final : public QDialog {
    Q_OBJECT
public:
    static constexpr int kGeneralPage = 0;
    static constexpr int kTexturesPage = 1;
    static constexpr int kErrorsPage = 2;
    // Where the face picked last in the view comes from (see FaceRows).
    static constexpr int kFacePage = 3;
    // The Errors page keeps the last kErrorsPageLines lines (headings included): once it holds
    // half as many again, the oldest go in one step and the count says that only the last lines
    // are shown. The log itself keeps every line.
    static constexpr int kErrorsPageLines = 100000;

    // A window owned by `owner` (kept above it), 422 x 500, General page first, showing `log`
    // with the headings of `marks` on its Errors page (both must outlive it; marks are only
    // ever appended to).
    ObjectProperties(QWidget* owner, const ErrorLog& log, const std::vector<LoadMark>& marks);

    // What the General and Textures pages show from now on; `folders` are the texture folders
    // searched.
    void SetContent(const GeneralInfo& general, const std::vector<TextureRow>& textures,
                    const std::vector<std::string>& folders = {});
    // What the Face page shows from now on: label and value rows (FaceRows); none says that no
    // face is picked.
    void SetFace(const std::vector<std::pair<std::string, std::string>>& rows);
    // The rows the Face page shows.
    const std::vector<std::pair<std::string, std::string>>& FaceShown() const { return faceRows_; }

    // Brings the Errors page up to date with the error log: appends what was logged since it last
    // showed (see PlanErrorsUpdate). Happens on every display of the window and of the Errors
    // page, and while the page is shown whenever the main window loads.
    void RefreshErrors();
    // Shows page `index` (kGeneralPage ... kErrorsPage).
    void ShowPage(int index);

    QTabWidget* Tabs() const { return tabs_; }

    // Where the problem of the Errors page's block `block` is (none for a heading or beyond the
    // page's end).
    LogPlace PlaceOfBlock(int block) const;
    // What a double-click on a line of the Errors page does with its place (lines without a file
    // do nothing). By default the place opens in the user's editor (OpenInEditor).
    void SetPlaceOpener(std::function<void(const LogPlace&)> opener) { openPlace_ = std::move(opener); }
    // Opens `place` as EditorLaunchFor says, with the environment's VISUAL and EDITOR; a program
    // that cannot be started leaves the file to the desktop.
    static void OpenInEditor(const LogPlace& place);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* MakeGeneralPage();
    QWidget* MakeTexturesPage();
    QWidget* MakeErrorsPage();
    QWidget* MakeFacePage();

    QTabWidget* tabs_ = nullptr;
    QLabel* world_ = nullptr;
    QLabel* object_ = nullptr;
    QLabel* polygons_ = nullptr;
    QLabel* triangles_ = nullptr;
    QLabel* boundsUnits_ = nullptr;
    QLabel* boundsCentimetres_ = nullptr;
    QLabel* textureCount_ = nullptr;
    QTreeWidget* textureList_ = nullptr;
    QLabel* textureFolders_ = nullptr;
    QLabel* errorCount_ = nullptr;
    QCheckBox* lastLoadOnly_ = nullptr;
    QPlainTextEdit* errors_ = nullptr;  // one block per line; each log line's block keeps its index
    std::function<void(const LogPlace&)> openPlace_ = OpenInEditor;
    QLabel* faceNote_ = nullptr;
    QGridLayout* faceGrid_ = nullptr;
    std::vector<std::pair<std::string, std::string>> faceRows_;
    const ErrorLog& log_;
    const std::vector<LoadMark>& marks_;
    ErrorsShown shown_;
    bool cut_ = false;     // lines of the log before those shown were dropped from the page
    int marginChars_ = 0;  // the longest place shown beside a line
};

}  // namespace pelorus
