// scripthash.h: the hash by which a page's Content-Security-Policy names the one
// inline script it allows ('sha256-' and the base64 of the script's SHA-256).
// Tested by scripthash_test.cc.
#pragma once

#include <string>

// The 32-byte SHA-256 digest of data (FIPS 180-4).
std::string Sha256(const std::string& data);

// Standard base64 with "=" padding.
std::string Base64(const std::string& bytes);

// "'sha256-" + Base64(Sha256(script)) + "'": the CSP source of an inline script
// whose element holds exactly script.
std::string ScriptHashSource(const std::string& script);
