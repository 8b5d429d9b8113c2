// pagevalues.h: the runtime values a site page will show, read before the page
// is written, all in one batch (common/batchreads.h): the value of every object
// row by its index and of every "%<name>" reference of the HTML blocks. The row
// writers take each answer from here, in page order; a value that was not
// fetched is read alone at that moment, so the page is the same either way.
// Tested by tests/server_page_test.cc (whole pages with and without multicall).
#pragma once

#include <cstdio>
#include <string>

// Reads the values that the page file's lines (as ReadFileLine gives them) will
// show, replacing any values fetched before, and rewinds the file for the page:
// the file is read twice rather than held, so a page's memory does not grow
// with its file.
void FetchPageValues(std::FILE* file);

// ReadVarByIdx(1, text) and ReadVarByName(1, name), answered from the values
// fetched; each fetched answer is given once.
bool PageVarByIdx(std::string& text);
std::string PageVarByName(const std::string& name);
