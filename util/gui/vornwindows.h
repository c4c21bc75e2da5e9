#pragma once

#include <QString>

namespace qb {

// The folder a document is opened in: the leading part of the document text up
// to and including its last "\" or ":" (in a file path also "/"); empty when it has none. For a
// file path that is its folder; for a web address the scheme with its colon.
QString documentWorkingDirectory(const QString& document);

// Whether a document text is a web address (it starts with a scheme of two
// letters or more and a colon) rather than a file path.
bool isWebAddress(const QString& document);

// Hands a document to the desktop's default handler: a web address as it is,
// anything else as a file (a relative path from the current folder). A
// program is started with the parameter text as its arguments. True when the
// request was accepted; a refusal shows nothing.
bool openDocument(const QString& document, const QString& parameters);

} // namespace qb
