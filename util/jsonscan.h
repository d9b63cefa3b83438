#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QVector>

// A validating splitter for JSON array texts that builds no values.
//
// The template lists need only a handful of header keys of every stored
// template, while a template's element arrays make up nearly all of the file.
// Building a QJsonDocument of the whole file for each list call spends most of
// its time on values that are thrown away; this scanner checks the whole text
// for well-formedness but copies out only the members it is asked for.
//
// It is at least as strict as QJsonDocument: whatever it accepts, Qt's parser
// accepts too, so a caller can fall back to Qt (and its error handling) when a
// split fails without ever showing data that Qt would refuse.
namespace JsonScan {

struct Element {
    int begin = 0;       // offset of the element's first byte in the text
    int length = 0;      // bytes up to and including its last byte
    bool isObject = false;
    // For objects: a JSON object text holding the first member of each
    // wanted key, in the element's own order; "{}" otherwise.
    QByteArray picked;
};

// Splits a JSON text whose top level is an array (an optional UTF-8 byte-order
// mark and surrounding blanks allowed) into its elements. For every element
// that is an object, the members whose keys are among `wantedKeys` are copied
// into Element::picked; of a key given twice only the first member counts.
// Returns false, with `elements` unspecified, when the text is not a
// well-formed JSON array.
bool splitArray(const QByteArray &text, const QByteArrayList &wantedKeys, QVector<Element> *elements);

} // namespace JsonScan
