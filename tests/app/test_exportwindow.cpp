// File > Export... in the main window (offscreen, with the stand-in view): it writes the models
// shown, not the world's ground, and tells of refused outputs without writing anything.

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/mainwindow.h"
#include "gltfreadback.h"
#include "platform/paths.h"
#include "testutil.h"

namespace pelorus {
namespace {

constexpr std::string_view kQuad =
    "ClumpBegin\nVertex 0 0 0\nVertex 1 0 0\nVertex 1 1 0\nVertex 0 1 0\nQuad 1 2 3 4\nClumpEnd\n";
constexpr std::string_view kBigTriangle =
    "ClumpBegin\nVertex -5 0 -5\nVertex 5 0 -5\nVertex 0 0 5\nTriangle 1 3 2\nClumpEnd\n";

std::string Contents(const std::string& path) {
    std::string text;
    return ReadWholeFile(path, text) ? text : std::string();
}

// Acts on the next modal widget of type T as soon as it shows; gives up after a minute. Returns a
// flag that tells whether it was seen.
template <typename T>
std::shared_ptr<bool> WhenModal(std::function<void(T*)> act) {
    auto seen = std::make_shared<bool>(false);
    auto* timer = new QTimer;
    auto ticks = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, seen, ticks] {
        if (auto* widget = qobject_cast<T*>(QApplication::activeModalWidget())) {
            *seen = true;
            timer->stop();
            timer->deleteLater();
            act(widget);
            QPointer<QWidget> left(widget);
            QTimer::singleShot(30000, [left] {
                if (left && left->isVisible()) static_cast<QDialog*>(left.data())->reject();
            });
        } else if (++*ticks > 6000) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
    return seen;
}

class ExportWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> dir_;
    std::string startFolder_;
    std::unique_ptr<MainWindow> window_;
    std::vector<std::string> notices_;
    std::vector<std::string> offered_;  // what each export was offered to start at

    // With `chosen`, the Export command writes there without a dialog.
    MainWindow& Make(std::optional<std::string> chosen) {
        MainWindowOptions options;
        options.glView = false;
        options.settingsFolder = dir_->Path();
        window_ = std::make_unique<MainWindow>(options);
        if (chosen)
            window_->SetExportChooser([this, chosen](QWidget*, const std::string& suggested) {
                offered_.push_back(suggested);
                return chosen;
            });
        window_->SetExportNotice([this](QWidget*, const std::string& message) { notices_.push_back(message); });
        window_->show();
        return *window_;
    }

private slots:
    void init() {
        startFolder_ = CurrentDirectory();
        dir_ = std::make_unique<test::TempDir>();
        dir_->Write("quad.rwx", kQuad);
        // The default world's ground, found from the current folder.
        dir_->Write("models/fall_gd.rwx", kBigTriangle);
        SetCurrentDirectory(dir_->Path());
        notices_.clear();
        offered_.clear();
    }

    void cleanup() {
        window_.reset();
        SetCurrentDirectory(startFolder_);
        dir_.reset();
    }

    void exportWritesTheModelsShownWithoutTheGround() {
        const std::string out = dir_->Join("quad.glb");
        MainWindow& window = Make(out);
        window.OpenFile(dir_->Join("quad.rwx"));
        QVERIFY(window.View().Scene() && window.View().Scene()->Ground());
        window.Action(kCmdExport)->trigger();
        QVERIFY(notices_.empty());
        QCOMPARE(window.statusBar()->currentMessage(), QString::fromStdString("Exported to " + out));
        GltfExport read;
        read.main = Contents(out);
        std::string error;
        const std::optional<tinygltf::Model> model = test::ReadBack(read, GltfForm::Binary, "", "", &error);
        QVERIFY2(model.has_value(), error.c_str());
        const test::SceneSummary s = test::Summarise(*model);
        QCOMPARE(s.triangles, int64_t{2});
        QCOMPARE(s.hi[0], 10.0);  // the quad, in metres, without the ground's 5-unit reach
    }

    void refusedOutputsAreToldAndNothingIsWritten() {
        MainWindow& window = Make(dir_->Join("quad.rwx"));
        window.OpenFile(dir_->Join("quad.rwx"));
        window.Dispatch(kCmdExport);
        QCOMPARE(notices_.size(), std::size_t{1});
        QVERIFY(notices_[0].find("the output must be named *.glb or *.gltf") != std::string::npos);
        QCOMPARE(Contents(dir_->Join("quad.rwx")), std::string(kQuad));
    }

    void theExportDialogOffersBothFormsAndWritesTheChosenOne() {
        MainWindow& window = Make(std::nullopt);
        window.OpenFile(dir_->Join("quad.rwx"));
        QStringList filters;
        QString title, suggested;
        auto seen = WhenModal<QFileDialog>([&](QFileDialog* dialog) {
            filters = dialog->nameFilters();
            title = dialog->windowTitle();
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            if (name) suggested = name->text();
            // Typed as a whole path: the dialog's folder listing may still be loading, and once loaded
            // it selects the suggested name again, over anything chosen with selectFile.
            if (name) name->setText(QString::fromStdString(dir_->Join("copy")));  // the default suffix adds .glb
            static_cast<QDialog*>(dialog)->accept();
        });
        window.Dispatch(kCmdExport);
        QVERIFY(*seen);
        QCOMPARE(title, QString("Export as glTF"));
        QCOMPARE(filters, (QStringList{"glTF Binary (*.glb)", "glTF with Side Files (*.gltf)"}));
        QCOMPARE(suggested, QString("quad.glb"));
        QVERIFY(notices_.empty());
        QCOMPARE(Contents(dir_->Join("copy.glb")).substr(0, 4), std::string("glTF"));
    }

    // The next export starts in the folder the last one wrote to, also in a later run; until then,
    // beside the model.
    void theNextExportStartsWhereTheLastOneWrote() {
        const std::string elsewhere = dir_->Join("exports/quad.glb");
        dir_->Write("exports/.keep", "");
        Make(elsewhere).OpenFile(dir_->Join("quad.rwx"));
        window_->Dispatch(kCmdExport);
        QCOMPARE(offered_.back(), dir_->Join("quad.glb"));
        window_->Dispatch(kCmdExport);
        QCOMPARE(offered_.back(), dir_->Join("exports/quad.glb"));
        Make(elsewhere).OpenFile(dir_->Join("quad.rwx"));
        window_->Dispatch(kCmdExport);
        QCOMPARE(offered_.back(), dir_->Join("exports/quad.glb"));
        QVERIFY(notices_.empty());
    }

    void choosingNothingWritesNothing() {
        MainWindow& window = Make("");
        window.OpenFile(dir_->Join("quad.rwx"));
        window.Dispatch(kCmdExport);
        QVERIFY(notices_.empty());
        QVERIFY(Contents(dir_->Join("quad.glb")).empty());
    }
};

}  // namespace
}  // namespace pelorus

QTEST_MAIN(pelorus::ExportWindowTest)
#include "test_exportwindow.moc"
