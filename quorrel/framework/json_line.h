// One JSON value as one line of compact, always well-formed UTF-8 text.
// The pipe's hot path writes a line per message, and this is several times
// cheaper than a general stream writer.
#pragma once

#include <json/json.h>

#include <string>

void AppendJsonLine(const Json::Value& value, std::string& out);
// Pieces for writers that skip building a Json::Value.
void AppendJsonString(const std::string& text, std::string& out);
void AppendJsonReal(double value, std::string& out);
