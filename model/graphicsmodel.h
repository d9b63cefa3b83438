#pragma once

#include <QString>

// Element type codes, stored in every element model and as item data 1 on
// the element's scene item. The JSON never stores them: the list that holds
// an element tells its kind.
enum ElementType {
    ELEMENT_RECTANGLE = 1,
    ELEMENT_LINE = 2,
    ELEMENT_CIRCLE = 3,
    ELEMENT_TEXT = 4,
    ELEMENT_PICTURE = 5,
    ELEMENT_QRCODE = 6,
    ELEMENT_RECT_BG = 7,
    ELEMENT_BARCODE = 8,
};

// Common head of every element model. All lengths are millimetres.
class GraphicsModel
{
public:
    QString id;
    int type = 0;
    float startX = 0.0f;
    float startY = 0.0f;
    int viewZ = 0;
    float width = 0.0f;
    float height = 0.0f;
    float border = 0.0f;
    bool lockstate = false;

protected:
    explicit GraphicsModel(int typeCode) : type(typeCode) {}
};

class RectangleModel : public GraphicsModel
{
public:
    RectangleModel() : GraphicsModel(ELEMENT_RECTANGLE) {}
};

class CircleModel : public GraphicsModel
{
public:
    CircleModel() : GraphicsModel(ELEMENT_CIRCLE) {}
};

// A double rectangle. Its border is never stored; the frames are drawn from
// the element's own geometry.
class RectangleBgModel : public GraphicsModel
{
public:
    RectangleBgModel() : GraphicsModel(ELEMENT_RECT_BG) {}
};

class LineModel : public GraphicsModel
{
public:
    LineModel() : GraphicsModel(ELEMENT_LINE) {}
    int direction = 0; // 0 horizontal, 1 vertical
};

class PictureModel : public GraphicsModel
{
public:
    PictureModel() : GraphicsModel(ELEMENT_PICTURE) {}
    QString fileName; // name of the copy in the attachment picture folder
};

class QrcodeModel : public GraphicsModel
{
public:
    QrcodeModel() : GraphicsModel(ELEMENT_QRCODE) {}
    QString title;
    QString content;
    bool fixed = false;
};

class BarcodeModel : public GraphicsModel
{
public:
    BarcodeModel() : GraphicsModel(ELEMENT_BARCODE) {}
    QString title;
    QString content;
    bool fixed = false;
};

class TextModel : public GraphicsModel
{
public:
    TextModel() : GraphicsModel(ELEMENT_TEXT) {}
    QString font;
    float fontSize = 0.0f;
    bool bold = false;
    bool italic = false;
    int horizontalAlign = 0; // -1 left, 0 centre, 1 right
    int verticalAlign = 0;   // -1 top, 0 centre, 1 bottom
    int direction = 0;       // 0 horizontal, 1 columns left to right, 2 columns right to left
    int rotate = 0;
    float wordSpacing = 0.0f;
    float rowSpacing = 0.0f;
    float indentation = 0.0f;
    float scaleX = 1.0f;
    float scaleY = 1.0f;
    QString textTitle;
    QString textContent;
    bool fixed = false;
    bool adapted = false;
    int adaptedMode = 1; // 1 shrink the pixel size, 2 shrink the horizontal scale
    bool mutiled = true;
    bool noVerRule = false;
};
