#include "app/fatalerror.h"

#include <QMessageBox>
#include <QString>
#include <QWindow>

#include "shell/viewershell.h"

namespace pelorus {

void ShowFatalMessage(std::string_view text) {
    QMessageBox box(QMessageBox::Critical,
                    QString::fromUtf8(kFatalCaption.data(), static_cast<qsizetype>(kFatalCaption.size())),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::Ok);
    box.exec();
}

bool WindowWasMade(const QWidget& window) {
    const QWindow* native = window.windowHandle();
    return native && native->handle();
}

}  // namespace pelorus
