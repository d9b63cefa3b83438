#pragma once

#include "items/barcode.h"

#include <QPixmap>
#include <QSize>
#include <QString>

// Paths under the program's folder and the embedded defaults.
inline constexpr const char CUSTOM_ROOT[] = "/attachment";
inline constexpr const char CUSTOM_PICTURE[] = "/attachment/picture";
inline constexpr const char CUSTOM_CONFIG_PATH[] = "/attachment/customConfig.json";
inline constexpr const char CUSTOM_TEMPLATE_PATH[] = "/attachment/customTemplate.json";
inline constexpr const char CUSTOM_TEMPLATE_TRASH_PATH[] = "/attachment/customTemplateTrash.json";
inline constexpr const char DEFAULT_CONFIG_PATH[] = ":/resources/config/defaultConfig.json";
inline constexpr const char DEFAULT_TEMPLATE_PATH[] = ":/resources/config/defaultTemplate.json";

// The attachment folder tree under the program's folder and the picture copies in it.
class FileUtil
{
public:
    FileUtil() = delete;

    // Absolute path of program folder + suffix (one of the constants above).
    static QString customPath(const char *suffix);

    // Creates the attachment folder and its picture folder when missing.
    static void checkCustomDir();

    // Copies a picture into the picture folder under a fresh UUID name with
    // the source's suffix; returns that name, or "" when the copy failed.
    static QString copyPictureFile(const QString &source);

    // Absolute path of a picture copy, or "" when the name is not a plain file
    // name (so nothing built from it can leave the picture folder).
    static QString getFilePathFromCustomPixmap(const QString &name);

    // A stored picture name is usable only as a plain file name: not empty,
    // not "." or "..", and without "/" or "\\".
    static bool isPlainFileName(const QString &name);

    // A path chosen in a save dialog with the suffix (e.g. ".json") appended
    // unless it already ends with it, in any case, so the file written is
    // the one the dialog asked about.
    static QString withSuffix(const QString &path, const QString &suffix);

    // Base64 of the pixmap encoded as PNG.
    static QString getPixmapBase64(const QPixmap &pixmap);

    // Font files are not copied anywhere: text elements offer the font
    // families installed on the desktop (narrowed by "font.use"), and fonts
    // are installed with the desktop's own tools, which know its font folders.

    // The pictures of picture, QR code and barcode elements. Each returns a new
    // pixmap that the caller deletes.

    // A picture copy, optionally forced to pure black and white (opaque; a
    // pixel is white when red + green + blue > 386 after the picture is laid
    // on white). A missing, unreadable or unsafe name gives a null pixmap.
    static QPixmap *getPicturePixmap(const QString &fileName, bool blackWhite);
    // The QR code of the text's UTF-8 bytes (version 2 or larger, level Q),
    // 10 pixels a module, no quiet zone. Null for an empty text, and null with
    // a warning for a text that cannot be encoded (too long, or holding U+0000).
    static QPixmap *getQrCodePixmap(const QString &content);
    // The Code 128 B barcode of the text; a null pixmap (never a null pointer)
    // when the generator rejects the text, after its notice.
    static QPixmap *getBarCodePixmap(const QString &content,
                                     BarCode::RejectNotice notice = BarCode::RejectNotice::MessageBox);

    // What a picture, QR code or barcode element shows, in the editor and on
    // the printed page alike: the picture of its file name or content
    // stretched to size. Null where the maker gives none: a missing
    // picture, an empty or a refused code. A refused barcode is logged,
    // never put in a box, so no scene waits on a dialog.
    static QPixmap elementPixmap(int type, const QString &source, const QSize &size);
};
