#pragma once

#include <QString>

namespace qb {

// The folder a document is opened in: the leading part of the document text up
// to and including its last "\" or ":" (in a file path also "/"); empty when it has none. For a
// file path that is its folder; for a web address the scheme with its colon.
QString documentWorkingDirectory(const QString& document);

// Hands a document (a file path or a web address) to the desktop's default
// handler. True when the desktop accepted the request; a refusal shows nothing.
bool openDocument(const QString& document, const QString& parameters);

} // namespace qb
