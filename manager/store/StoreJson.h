// The whole store as one JSON document, for export, import and backups.
//
// The round trip is lossless: exporting a store and importing the document
// into another gives the same profiles (with their password hashes), field
// definitions and values, lexicon, cards (with their data bytes, titles,
// protection and times), defaults, settings, notes, translation tables and
// collected values. Form sets whose stream the transit reader reads back
// byte for byte are written as readable forms; any other card data as
// base64.
//
// Import replaces everything in one transaction: a document with a problem
// anywhere leaves the store as it was, and so does a kill -9 halfway.
// Runs on the store's thread.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "manager/store/JsonUtils.h"

namespace qm::manager {

class TManagerStore;

inline constexpr const char* StoreDocumentFormat = "quillora-manager-store";
inline constexpr int StoreDocumentVersion = 1;

Json ExportStore(TManagerStore& store);

// Called now and then while cards are written: how many of how many.
using TImportProgress = std::function<void(size_t done, size_t total)>;

// Raises EStoreError naming the first problem ("cards[12].kind: unknown
// card kind 'x'"); the store is then unchanged.
void ImportStore(TManagerStore& store, const Json& document, const TImportProgress& progress);

}  // namespace qm::manager
