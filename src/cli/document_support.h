#pragma once
// Opening, saving and the NAME=VALUE arguments of the commands that work on documents.
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

#include "app/document_session.h"

namespace clx::cli {

// Opens the document; a document with damaged parts is refused (Failure) when it is to be
// rewritten, so that saving cannot throw away what could not be read. A missing or unreadable
// file is a UsageError.
void OpenDocument(DocumentSession& s, const std::string& file, bool forWriting, std::string_view command,
                  std::ostream& err);
// The session's notes on err, each once.
void WriteNotes(DocumentSession& s, std::string_view command, std::ostream& err);
// Saves; a write error is a Failure and the file is unchanged.
void SaveDocumentFile(DocumentSession& s, const std::string& file);
// NAME=VALUE; the value may be empty. UsageError naming what otherwise.
std::pair<std::string, std::string> Assignment(const std::string& text, std::string_view what);

}  // namespace clx::cli
