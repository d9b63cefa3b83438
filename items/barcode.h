#pragma once

#include <QPixmap>
#include <QString>
#include <QStringList>

class QPainter;

enum BarCodeType {
    Code128B = 0,
    EAN13 = 1,
};

// Turns a text into a Code 128 (code set B) or EAN-13 barcode and paints it:
// modules 3 pixels wide, bars 150 pixels high; the picture is stretched to the
// element's rectangle later. A generator is cheap and is made per picture.
class BarCode
{
public:
    // How a rejected text is reported. The editor, where someone is typing the
    // text, shows a modal box titled "barcode"; building print pages (also for
    // API jobs that nobody watches) must never block, so it logs a warning.
    enum class RejectNotice {
        MessageBox,
        LogWarning,
    };

    explicit BarCode(RejectNotice notice = RejectNotice::MessageBox);
    ~BarCode();

    // The module string of the text ('b' dark, 's' light), or a null string
    // when the text is rejected.
    QString process128BCode(const QString &text);
    // The module string of twelve digits ('1' dark, '0' light, quiet modules
    // included); the check digit is appended to the caller's text. A null
    // string (and the text unchanged) when rejected.
    QString processEAN13Code(QString &text);

    // Encodes and, on success, keeps the symbol for drawing.
    bool setBarCode(const QString &content, BarCodeType codeType);
    // Paints the kept symbol with the top of the bars at y and module 0 at x.
    void drawBarCode(QPainter &painter, int x, int y);
    // A white picture with the symbol in its middle; a null pixmap when the
    // text is rejected.
    QPixmap creatBarCode(const QString &content, BarCodeType codeType);

    BarCodeType getType() const { return type; }
    QString getText() const { return text; }
    QString getPattern() const { return pattern; }
    int getWidth() const { return width; }
    int getHeight() const { return height; }

    static constexpr int MODULE_WIDTH = 3;
    static constexpr int BAR_HEIGHT = 150;

private:
    void initCode128B();
    void initEAN13();
    void reject(const QString &message) const;

    QStringList code128Patterns;
    QStringList ean13Parity;
    QStringList ean13SetA;
    QStringList ean13SetB;
    QStringList ean13SetC;
    BarCodeType type = Code128B;
    QString text;
    QString pattern;
    int width = 0;
    int height = BAR_HEIGHT;
    RejectNotice notice;
};
