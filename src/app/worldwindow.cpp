#include "app/worldwindow.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QString>
#include <algorithm>

#include "app/asktextdialog.h"
#include "app/qtext.h"
#include "platform/paths.h"

namespace pelorus {
namespace {

QString Q(std::string_view text) {
    return ToQString(text);
}

// The client area of the window: its 422 x 500 frame less the borders and the title bar.
constexpr int kClientWidth = 416;
constexpr int kClientHeight = 474;
// The controls are sized for a small dialog font.
constexpr int kFontPixels = 11;

// ---- The dialogs of the real asker ----------------------------------------------------------

class DialogAsker : public WorldWindowAsker {
public:
    DialogAsker() { custom_.fill(QColor(0, 0, 0)); }

    std::optional<std::string> AskName(QWidget* owner, std::string_view prompt, std::string_view title) override {
        std::string name;
        if (!AskForText(Q(prompt), Q(title), name, owner) || name.empty()) return std::nullopt;
        return name;
    }

    DeleteAnswer AskDelete(QWidget* owner, const WorldMessage& question) override {
        // Deleting loses a file: a warning, and Enter keeps it.
        QMessageBox box(QMessageBox::Warning, Q(question.caption), Q(question.text),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, owner);
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::Cancel);
        switch (box.exec()) {
            case QMessageBox::Yes:
                return DeleteAnswer::Yes;
            case QMessageBox::No:
                return DeleteAnswer::No;
            default:
                return DeleteAnswer::Cancel;
        }
    }

    void ShowError(QWidget* owner, const WorldMessage& message) override {
        QMessageBox box(QMessageBox::Critical, Q(message.caption), Q(message.text), QMessageBox::Ok, owner);
        box.exec();
    }

    std::optional<Rgb> PickColor(QWidget* owner, Rgb initial) override {
        // The dialog's custom colours belong to Qt; this asker keeps its own set and lends it.
        for (std::size_t i = 0; i < custom_.size(); ++i) QColorDialog::setCustomColor(static_cast<int>(i), custom_[i]);
        QColorDialog dialog(QColor(initial[0], initial[1], initial[2]), owner);
        const bool ok = dialog.exec() == QDialog::Accepted;
        for (std::size_t i = 0; i < custom_.size(); ++i) custom_[i] = QColorDialog::customColor(static_cast<int>(i));
        if (!ok) return std::nullopt;
        const QColor c = dialog.selectedColor();
        return Rgb{static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue())};
    }

    std::optional<std::string> AskFolder(QWidget* owner, std::string_view title, std::string_view start) override {
        QFileDialog dialog(owner, Q(title), Q(start));
        dialog.setObjectName("folderDialog");
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
        return dialog.selectedFiles().first().toStdString();
    }

    std::optional<std::string> AskFile(QWidget* owner, std::string_view title, std::string_view start,
                                       std::string_view filter) override {
        QFileDialog dialog(owner, Q(title), Q(start), Q(filter));
        dialog.setObjectName("fileDialog");
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFile);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
        return dialog.selectedFiles().first().toStdString();
    }

private:
    std::array<QColor, 16> custom_;
};

// ---- Building the controls ------------------------------------------------------------------

QLabel* MakeLabel(QWidget* parent, const char* text, int x, int y, int w, int h, QWidget* buddy = nullptr) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setGeometry(x, y, w, h);
    if (buddy) label->setBuddy(buddy);
    return label;
}

QLineEdit* MakeField(QWidget* parent, const char* name, int x, int y, int w, int h) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setGeometry(x, y, w, h);
    return field;
}

QPushButton* MakeButton(QWidget* parent, const char* text, const char* name, int x, int y, int w, int h) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setObjectName(name);
    button->setGeometry(x, y, w, h);
    button->setAutoDefault(false);
    return button;
}

QGroupBox* MakeGroup(QWidget* parent, const char* title, int x, int y, int w, int h) {
    auto* group = new QGroupBox(QString::fromUtf8(title), parent);
    group->setGeometry(x, y, w, h);
    return group;
}

QLabel* MakeSwatch(QWidget* parent, const char* name, int x, int y, int w, int h) {
    auto* swatch = new QLabel(parent);
    swatch->setObjectName(name);
    swatch->setGeometry(x, y, w, h);
    swatch->setAlignment(Qt::AlignCenter);
    return swatch;
}

// A "Color" group: Red, Green, Blue labels and fields, the swatch and the picker button.
void MakeColorGroup(QWidget* parent, const std::array<const char*, 3>& labels, const char* picker, const char* prefix,
                    std::array<QLineEdit*, 3>& fields, QLabel*& swatch, QPushButton*& button) {
    QGroupBox* group = MakeGroup(parent, "Color", 8, 18, 192, 91);
    static constexpr const char* kParts[] = {"Red", "Green", "Blue"};
    for (std::size_t i = 0; i < 3; ++i) {
        const int y = 18 + 24 * static_cast<int>(i);
        const std::string name = std::string(prefix) + kParts[i];
        fields[i] = MakeField(group, name.c_str(), 44, y, 51, 20);
        MakeLabel(group, labels[i], 8, y + 3, 33, 13, fields[i]);
    }
    swatch = MakeSwatch(group, (std::string(prefix) + "Swatch").c_str(), 108, 14, 65, 37);
    button = MakeButton(group, picker, (std::string(prefix) + "Picker").c_str(), 108, 58, 66, 24);
}

void Paint(QLabel* swatch, const Rgb& rgb) {
    QPixmap pixmap(std::max(1, swatch->width() - 2), std::max(1, swatch->height() - 2));
    pixmap.fill(QColor(rgb[0], rgb[1], rgb[2]));
    swatch->setPixmap(pixmap);
}

Rgb BytesOf(const std::array<ColorField, 3>& light) {
    return {light[0].value, light[1].value, light[2].value};
}

}  // namespace

std::optional<std::string> WorldWindowAsker::AskFolder(QWidget*, std::string_view, std::string_view) {
    return std::nullopt;
}

std::optional<std::string> WorldWindowAsker::AskFile(QWidget*, std::string_view, std::string_view, std::string_view) {
    return std::nullopt;
}

std::unique_ptr<WorldWindowAsker> MakeDialogAsker() {
    return std::make_unique<DialogAsker>();
}

WorldPropertiesWindow::WorldPropertiesWindow(WorldBook& book, QWidget* owner, std::unique_ptr<WorldWindowAsker> asker)
    : QDialog(owner), book_(book), asker_(asker ? std::move(asker) : MakeDialogAsker()) {
    setObjectName("PELO_WPWindowClass");
    setWindowTitle("World Properties");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(false);
    QFont small = font();
    small.setPixelSize(kFontPixels);
    setFont(small);
    Build();
    setFixedSize(kClientWidth, kClientHeight);
    move(200, 100);
    Refresh();
}

WorldPropertiesWindow::~WorldPropertiesWindow() = default;

void WorldPropertiesWindow::Build() {
    // Top row.
    c_.worldName = new QComboBox(this);
    c_.worldName->setObjectName("worldName");
    c_.worldName->setAccessibleName("World Name");
    c_.worldName->setGeometry(90, 2, 160, 22);
    c_.worldName->setMaxVisibleItems(12);
    c_.worldName->setEditable(false);
    MakeLabel(this, "&World Name:", 10, 4, 80, 14, c_.worldName);
    c_.newWorld = MakeButton(this, "&New", "newWorld", 260, 2, 50, 22);
    c_.deleteWorld = MakeButton(this, "Delete", "deleteWorld", 320, 2, 50, 22);

    // World features. Every Alt+letter of the window picks one control.
    QGroupBox* features = MakeGroup(this, "World Features", 8, 24, 402, 140);
    c_.objectPath = MakeField(features, "objectPath", 102, 18, 211, 21);
    MakeLabel(features, "Object Pat&h:", 8, 20, 92, 16, c_.objectPath);
    c_.browseObjectPath = MakeButton(features, "Brow&se...", "browseObjectPath", 318, 17, 76, 23);
    c_.backdrop = MakeField(features, "backdrop", 102, 46, 83, 21);
    MakeLabel(features, "Ba&ckdrop:", 8, 47, 92, 18, c_.backdrop);
    c_.ground = MakeField(features, "ground", 102, 74, 83, 21);
    MakeLabel(features, "Gr&ound:", 8, 75, 93, 19, c_.ground);
    c_.skybox = MakeField(features, "skybox", 102, 102, 83, 21);
    MakeLabel(features, "S&kybox:", 8, 103, 93, 19, c_.skybox);
    QLabel* backdropColor = MakeLabel(features, "Backdrop Color:", 196, 42, 53, 30);
    backdropColor->setWordWrap(true);
    c_.backdropSwatch = MakeSwatch(features, "backdropSwatch", 252, 44, 54, 26);
    c_.changeBackdrop = MakeButton(features, "Change...", "changeBackdrop", 314, 45, 60, 23);
    // How long copies from a web object path are used before the server is asked again.
    c_.refreshDays = new QSpinBox(features);
    c_.refreshDays->setObjectName("refreshDays");
    c_.refreshDays->setGeometry(292, 74, 83, 21);
    c_.refreshDays->setRange(0, static_cast<int>(kMaxRefreshDays));
    c_.refreshDays->setSuffix(" days");
    c_.refreshDays->setSpecialValueText("each load");
    c_.refreshDays->setToolTip(
        "How long models and textures fetched from a web object path are used before their "
        "server is asked whether they changed");
    MakeLabel(features, "Refresh e&very:", 196, 76, 93, 19, c_.refreshDays);
    c_.password = MakeField(features, "password", 292, 102, 83, 21);
    c_.password->setEchoMode(QLineEdit::Password);
    MakeLabel(features, "Objec&t Password:", 196, 102, 93, 21, c_.password);

    // Lights and fog.
    QGroupBox* lights = MakeGroup(this, "World &Lights And Fog", 27, 169, 368, 263);
    QGroupBox* directional = MakeGroup(lights, "Directional Light", 13, 18, 341, 119);
    MakeColorGroup(directional, {"&Red", "&Green", "&Blue"}, "&Picker...", "directional", c_.directional,
                   c_.directionalSwatch, c_.directionalPicker);
    QGroupBox* direction = MakeGroup(directional, "Direction", 212, 18, 120, 91);
    static constexpr const char* kAxes[] = {"&X", "&Y", "&Z"};
    static constexpr const char* kAxisNames[] = {"directionX", "directionY", "directionZ"};
    for (std::size_t i = 0; i < 3; ++i) {
        const int y = 18 + 24 * static_cast<int>(i);
        c_.direction[i] = MakeField(direction, kAxisNames[i], 46, y, 60, 20);
        MakeLabel(direction, kAxes[i], 10, y + 3, 33, 13, c_.direction[i]);
    }
    QGroupBox* ambient = MakeGroup(lights, "Ambient Light", 13, 140, 210, 119);
    MakeColorGroup(ambient, {"Re&d", "Gr&een", "Bl&ue"}, "P&icker...", "ambient", c_.ambient, c_.ambientSwatch,
                   c_.ambientPicker);
    QGroupBox* fog = MakeGroup(lights, "Fog", 229, 140, 125, 119);
    c_.fog = new QCheckBox("Enable &Fog", fog);
    c_.fog->setObjectName("fog");
    c_.fog->setGeometry(10, 20, 104, 16);
    c_.fogMin = MakeField(fog, "fogMin", 36, 47, 36, 20);
    MakeLabel(fog, "&Min", 8, 50, 26, 15, c_.fogMin);
    MakeLabel(fog, "meters", 76, 50, 44, 15);  // wider than 32: room for the whole word
    c_.fogMax = MakeField(fog, "fogMax", 36, 77, 36, 20);
    MakeLabel(fog, "M&ax", 8, 80, 26, 15, c_.fogMax);
    MakeLabel(fog, "meters", 76, 80, 44, 15);

    c_.ok = new QPushButton("OK", this);
    c_.ok->setObjectName("ok");
    c_.ok->setGeometry(173, 442, 75, 23);
    c_.ok->setDefault(true);
    c_.cancel = MakeButton(this, "Cancel", "cancel", 256, 442, 75, 23);
    c_.noWorldHint = new QLabel("No world yet: press New to make one.", this);
    c_.noWorldHint->setObjectName("noWorldHint");
    c_.noWorldHint->setGeometry(10, 438, 158, 30);
    c_.noWorldHint->setWordWrap(true);

    // Wiring: every edit goes straight into the book's working copy.
    const auto bindText = [this](QLineEdit* field, std::string& (*get)(WorldSettings&)) {
        connect(field, &QLineEdit::textEdited, this, [this, get](const QString& text) {
            if (!refreshing_) get(book_.Shown()) = text.toStdString();
        });
    };
    bindText(c_.objectPath, [](WorldSettings& s) -> std::string& { return s.objectPath; });
    bindText(c_.password, [](WorldSettings& s) -> std::string& { return s.password; });
    bindText(c_.backdrop, [](WorldSettings& s) -> std::string& { return s.backdrop; });
    bindText(c_.ground, [](WorldSettings& s) -> std::string& { return s.ground; });
    bindText(c_.skybox, [](WorldSettings& s) -> std::string& { return s.skybox; });
    bindText(c_.fogMin, [](WorldSettings& s) -> std::string& { return s.fogMin; });
    bindText(c_.fogMax, [](WorldSettings& s) -> std::string& { return s.fogMax; });
    bindText(c_.direction[0], [](WorldSettings& s) -> std::string& { return s.direction[0]; });
    bindText(c_.direction[1], [](WorldSettings& s) -> std::string& { return s.direction[1]; });
    bindText(c_.direction[2], [](WorldSettings& s) -> std::string& { return s.direction[2]; });
    for (std::size_t i = 0; i < 3; ++i) {
        connect(c_.directional[i], &QLineEdit::textEdited, this, [this, i](const QString& text) {
            if (refreshing_) return;
            book_.Shown().directional[i] = ColorFieldFromText(text.toStdString());
            PaintSwatches();
        });
        connect(c_.ambient[i], &QLineEdit::textEdited, this, [this, i](const QString& text) {
            if (refreshing_) return;
            book_.Shown().ambient[i] = ColorFieldFromText(text.toStdString());
            PaintSwatches();
        });
    }
    connect(c_.fog, &QCheckBox::toggled, this, [this](bool on) {
        if (!refreshing_) book_.Shown().fog = on;
    });
    connect(c_.refreshDays, &QSpinBox::valueChanged, this, [this](int days) {
        if (refreshing_) return;
        // A world that never set it keeps not setting it while it shows the default.
        std::optional<uint32_t>& kept = book_.Shown().refreshDays;
        if (kept || days != static_cast<int>(kDefaultRefreshDays)) kept = static_cast<uint32_t>(days);
    });
    connect(c_.worldName, &QComboBox::currentIndexChanged, this, &WorldPropertiesWindow::Pick);
    connect(c_.newWorld, &QPushButton::clicked, this, &WorldPropertiesWindow::NewWorld);
    connect(c_.deleteWorld, &QPushButton::clicked, this, &WorldPropertiesWindow::DeleteWorld);
    connect(c_.ok, &QPushButton::clicked, this, &WorldPropertiesWindow::Accept);
    connect(c_.cancel, &QPushButton::clicked, this, &WorldPropertiesWindow::reject);
    connect(c_.browseObjectPath, &QPushButton::clicked, this, &WorldPropertiesWindow::BrowseObjectPath);
    connect(c_.changeBackdrop, &QPushButton::clicked, this, [this] {
        if (const std::optional<Rgb> picked = asker_->PickColor(this, book_.Shown().backdropColor)) {
            book_.Shown().backdropColor = *picked;
            Refresh();
        }
    });
    connect(c_.directionalPicker, &QPushButton::clicked, this, [this] { PickLightColor(&WorldSettings::directional); });
    connect(c_.ambientPicker, &QPushButton::clicked, this, [this] { PickLightColor(&WorldSettings::ambient); });
}

void WorldPropertiesWindow::Refresh() {
    refreshing_ = true;
    // The list is refilled only when it changed: picking a world refreshes from inside the
    // list's own signal.
    const std::vector<std::string>& names = book_.Names();
    bool same = c_.worldName->count() == static_cast<int>(names.size());
    for (std::size_t i = 0; same && i < names.size(); ++i)
        same = c_.worldName->itemText(static_cast<int>(i)) == Q(names[i]);
    if (!same) {
        c_.worldName->clear();
        for (const std::string& name : names) c_.worldName->addItem(Q(name));
    }
    c_.worldName->setCurrentIndex(book_.Selection());

    const WorldSettings& s = book_.Shown();
    const auto show = [](QLineEdit* field, const std::string& text) {
        const QString q = Q(text);
        if (field->text() != q) field->setText(q);
    };
    show(c_.objectPath, s.objectPath);
    show(c_.password, s.password);
    show(c_.backdrop, s.backdrop);
    show(c_.ground, s.ground);
    show(c_.skybox, s.skybox);
    show(c_.fogMin, s.fogMin);
    show(c_.fogMax, s.fogMax);
    for (std::size_t i = 0; i < 3; ++i) {
        show(c_.direction[i], s.direction[i]);
        show(c_.directional[i], s.directional[i].text);
        show(c_.ambient[i], s.ambient[i].text);
    }
    c_.fog->setChecked(s.fog);
    c_.refreshDays->setValue(static_cast<int>(std::min(s.refreshDays.value_or(kDefaultRefreshDays), kMaxRefreshDays)));

    const bool enabled = book_.FieldsEnabled();
    QWidget* const fields[] = {c_.deleteWorld,
                               c_.objectPath,
                               c_.browseObjectPath,
                               c_.backdrop,
                               c_.ground,
                               c_.skybox,
                               c_.backdropSwatch,
                               c_.changeBackdrop,
                               c_.password,
                               c_.directionalSwatch,
                               c_.directionalPicker,
                               c_.ambientSwatch,
                               c_.ambientPicker,
                               c_.fog,
                               c_.refreshDays,
                               c_.fogMin,
                               c_.fogMax};
    for (QWidget* w : fields) w->setEnabled(enabled);
    for (std::size_t i = 0; i < 3; ++i) {
        c_.direction[i]->setEnabled(enabled);
        c_.directional[i]->setEnabled(enabled);
        c_.ambient[i]->setEnabled(enabled);
    }
    c_.noWorldHint->setVisible(!enabled);
    PaintSwatches();
    refreshing_ = false;
}

void WorldPropertiesWindow::PaintSwatches() {
    const WorldSettings& s = book_.Shown();
    Paint(c_.backdropSwatch, s.backdropColor);
    Paint(c_.directionalSwatch, BytesOf(s.directional));
    Paint(c_.ambientSwatch, BytesOf(s.ambient));
}

void WorldPropertiesWindow::ShowMessages(const std::vector<WorldMessage>& messages) {
    for (const WorldMessage& m : messages) asker_->ShowError(this, m);
}

void WorldPropertiesWindow::Pick(int index) {
    if (refreshing_) return;
    const std::vector<WorldMessage> messages = book_.Select(index);
    Refresh();
    ShowMessages(messages);
}

void WorldPropertiesWindow::NewWorld() {
    const std::optional<std::string> name = asker_->AskName(this, kNewWorldPrompt, kNewWorldTitle);
    if (!name) return;
    const std::vector<WorldMessage> messages = book_.Create(*name);
    ShowMessages(messages);
    Refresh();
}

void WorldPropertiesWindow::DeleteWorld() {
    DeleteAnswer answer = DeleteAnswer::Cancel;
    if (book_.Selection() >= 0) {
        answer = asker_->AskDelete(this, DeleteWorldQuestion());
        if (answer == DeleteAnswer::Cancel) return;
    }
    const std::vector<WorldMessage> messages = book_.Delete(answer);
    Refresh();
    ShowMessages(messages);
}

void WorldPropertiesWindow::Accept() {
    const std::vector<WorldMessage> messages = book_.Ok();
    if (!messages.empty()) {
        ShowMessages(messages);
        return;
    }
    hide();
    emit worldAccepted();
}

void WorldPropertiesWindow::PickLightColor(std::array<ColorField, 3> WorldSettings::*light) {
    const std::optional<Rgb> picked = asker_->PickColor(this, BytesOf(book_.Shown().*light));
    if (!picked) return;
    std::array<ColorField, 3>& fields = book_.Shown().*light;
    for (std::size_t i = 0; i < 3; ++i) fields[i] = ColorFieldFromByte((*picked)[i]);
    Refresh();
}

void WorldPropertiesWindow::BrowseObjectPath() {
    // From the folder the field names when there is one, else from the worlds' folder.
    const std::string& typed = book_.Shown().objectPath;
    const std::string start = !typed.empty() && IsDirectory(typed) ? ResolvePath(typed) : book_.Folder();
    const std::optional<std::string> folder = asker_->AskFolder(this, "Object Path", start);
    if (!folder) return;
    book_.Shown().objectPath = *folder;
    Refresh();
}

void WorldPropertiesWindow::reject() {
    book_.Revert();
    Refresh();
    hide();
}

}  // namespace pelorus
