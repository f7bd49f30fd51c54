#pragma once
// The member import file: its text and its lines split into columns.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// The file's text: UTF-8 when it starts with a byte-order mark (dropped), or when it is valid
// UTF-8 and not valid CP932; CP932 otherwise.
QString DecodeImportFile(const QByteArray& bytes);

// The lines of `text` (ending in CR LF or LF alone), each split into its columns.
// TAB-separated: every double quote is removed, then the line is split at every TAB.
// CSV: a field that starts with a double quote runs to the quote that closes it, doubled quotes
// inside standing for one, commas and line breaks kept; every other field runs to the next comma
// with its double quotes removed.
std::vector<QStringList> SplitImportLines(const QString& text, bool csv);
