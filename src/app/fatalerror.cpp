#include "app/fatalerror.h"

#include <QMessageBox>
#include <QString>
#include <QWindow>

#include "app/qtext.h"
#include "shell/viewershell.h"

namespace pelorus {

void ShowFatalMessage(std::string_view text) {
    QMessageBox box(QMessageBox::Critical, ToQString(kFatalCaption), ToQString(text), QMessageBox::Ok);
    box.exec();
}

bool WindowWasMade(const QWidget& window) {
    const QWindow* native = window.windowHandle();
    return native && native->handle();
}

}  // namespace pelorus
