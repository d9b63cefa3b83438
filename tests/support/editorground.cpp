#include "support/editorground.h"

#include "util/fileutil.h"

namespace TestSupport {

EditorGround::EditorGround()
{
    Seams::setScreenHandler(screen96);
    FileUtil::checkCustomDir();
}

EditorGround::~EditorGround()
{
    Seams::resetAll();
}

Seams::ScreenSize EditorGround::screen96()
{
    return {QSize(1920, 1080), QSizeF(508.0, 285.75)};
}

QString EditorGround::picture(const QString &name) const
{
    return programDir.file(QStringLiteral("/attachment/picture/")) + name;
}

} // namespace TestSupport
