#include "util/translucentwindow.h"

#include "util/seams.h"

#include <QWidget>

void TranslucentWindow::apply(QWidget *window, const QColor &panelColor)
{
    if (Seams::windowsBlend()) {
        window->setAttribute(Qt::WA_TranslucentBackground);
        return;
    }
    // A style sheet on the window would set its palette back, so the fill
    // is a rule of the window's own, which no other widget matches.
    window->setAttribute(Qt::WA_StyledBackground);
    const QString fill = QStringLiteral("\n#%1 { background-color: %2; }").arg(window->objectName(), panelColor.name());
    window->setStyleSheet(window->styleSheet() + fill);
}
