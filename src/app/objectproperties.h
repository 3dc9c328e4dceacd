#pragma once
// The Object Properties window: a modeless tool window with the pages General (world, file,
// faces and triangles), Textures (one row per loaded texture) and Errors (the whole error log of
// the run with its line count). Closing it (close box, OK, Enter, Escape) only hides it.

#include <QDialog>
#include <vector>

#include "shell/objectinfo.h"

class QLabel;
class QPlainTextEdit;
class QTabWidget;
class QTreeWidget;

namespace pelorus {

class ObjectProperties final : public QDialog {
    Q_OBJECT
public:
    // A window owned by `owner` (kept above it), at (200, 100), 422 x 500, General page first,
    // showing `log` (which must outlive it) on its Errors page.
    ObjectProperties(QWidget* owner, const ErrorLog& log);

    // What the General and Textures pages show from now on.
    void SetContent(const GeneralInfo& general, const std::vector<TextureRow>& textures);
    // Fills the Errors page from the error log as it is now. Happens on every display of the
    // window and of the Errors page.
    void RefreshErrors();

    QTabWidget* Tabs() const { return tabs_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* MakeGeneralPage();
    QWidget* MakeTexturesPage();
    QWidget* MakeErrorsPage();

    QTabWidget* tabs_ = nullptr;
    QLabel* world_ = nullptr;
    QLabel* object_ = nullptr;
    QLabel* polygons_ = nullptr;
    QLabel* triangles_ = nullptr;
    QLabel* textureCount_ = nullptr;
    QTreeWidget* textureList_ = nullptr;
    QLabel* errorCount_ = nullptr;
    QPlainTextEdit* errors_ = nullptr;
    const ErrorLog& log_;
};

}  // namespace pelorus
