#include "app/help/user_guide.h"

#include <QFile>

#include "app/common/window_style.h"

namespace {

QString GuideText() {
    QFile guide(QStringLiteral(":/help/user_guide.md"));
    guide.open(QIODevice::ReadOnly);
    return QString::fromUtf8(guide.readAll());
}

}  // namespace

TUserGuide::TUserGuide(QWidget* owner) : QTextBrowser(owner) {
    setObjectName(QStringLiteral("UserGuide"));
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("使用指南 - ") + ApplicationTitle());
    setFont(ClinicFont(kMemoFontPixels));
    setOpenExternalLinks(false);
    setMarkdown(GuideText());
    resize(720, 760);
}

void TUserGuide::ShowGuide() {
    show();
    raise();
    activateWindow();
}
