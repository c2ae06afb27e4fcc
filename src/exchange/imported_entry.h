#pragma once
// What every import does with an entry it has read, and the KeePass XML and
// JSON readers that readImport hands those files to.

#include "exchange/import_format.h"

#include <string_view>

namespace kv {

// The host part of an address: "https://me@mail.example.com:8443/in" gives
// "mail.example.com"; an address without a scheme is read the same way.
std::string_view hostOf(std::string_view address);

// An entry with none of the five fields is not imported, whatever else its row held.
bool holdsNothing(const Record& record);

// An entry without a service takes the host of its address, else its user name.
void fillService(Record& record);

ImportResult readKeepassXml(std::string_view content, const ImportSink& sink);
ImportResult readJson(std::string_view content, const ImportSink& sink, const ImportParsing& parsing = {});

} // namespace kv
