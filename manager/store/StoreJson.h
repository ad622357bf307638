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
// Protected profiles: nothing of theirs leaves in clear unless the store
// was unlocked for them (TManagerStore::Unlock, that is, the password was
// given). A locked profile goes out as it is stored: its key parameters,
// its values and cards sealed (base64), and the form signatures of its
// sealed form sets, which import takes as they are. A protected profile
// whose data is still in clear (a store from before encryption) cannot be
// exported locked: export raises EStoreError Locked and says so.
//
// Keys are capitalised (JsonUtils.h); documents of version 1, with small
// first letters, are read as well.
//
// Import replaces everything in one transaction: a document with a problem
// anywhere (an unknown key, a value of the wrong type, no active profile)
// leaves the store as it was, and so does a kill -9 halfway. A dry run
// does the whole import and rolls it back. Runs on the store's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "manager/store/JsonUtils.h"
#include "manager/store/StoreTypes.h"

namespace qm::manager {

class TManagerStore;

inline constexpr const char* StoreDocumentFormat = "quillora-manager-store";
inline constexpr int StoreDocumentVersion = 2;

Json ExportStore(TManagerStore& store);

// How much a store holds, for what an import changes.
struct TStoreCounts {
  int64_t Profiles = 0;
  int64_t Fields = 0;
  int64_t Synonyms = 0;
  int64_t Cards = 0;
  int64_t Defaults = 0;
  int64_t Notes = 0;
  int64_t Translations = 0;
  int64_t CollectedValues = 0;
};
TStoreCounts CountStore(TManagerStore& store);

// Called now and then while cards are written: how many of how many.
using TImportProgress = std::function<void(size_t done, size_t total)>;

struct TImportResult {
  TStoreCounts Before;
  TStoreCounts After;
  // Protected profiles whose data came in clear and is stored so: their
  // next unlock encrypts it.
  std::vector<String> InClear;
  // Protected profiles whose data came in clear and was encrypted with the
  // password given.
  std::vector<String> Encrypted;
};

// Raises EStoreError naming the first problem ("Cards[12].Kind: unknown
// card kind 'x'; the kinds are formset, navigation or mail"); the store is
// then unchanged. With dryRun the store is unchanged in any case.
//
// password: when given, every protected profile whose data came in clear
// is encrypted with it in the import's own transaction, so that its data
// never rests in the store in clear; a profile the password does not open
// stops the import (EStoreError Other, "The password is wrong for profile
// 'Work'").
TImportResult ImportStore(TManagerStore& store, const Json& document,
                          const TImportProgress& progress, bool dryRun = false,
                          const String* password = nullptr);

}  // namespace qm::manager
