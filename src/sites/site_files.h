// Files of site positions, read as the dialogue program reads them.
#pragma once

#include <string>

#include "base/expected.h"
#include "sites/sites.h"

namespace ortelix::sites {

// A coordinate file: header n p nsup, then one free-format record per
// site, at most `capacity` sites in all. "-" reads standard input. Errors
// are "file:line: what".
Expected<Sites> read_coordinate_file(const std::string& path, Index capacity);

// A coordinate file, or a list of X Y positions, two values a line (such
// as Grid.txt, whose fields may touch, or a CSV file of two columns); every
// site of a list is a site of the analysis.
Expected<Sites> read_sites_file(const std::string& path, Index capacity);

// The same on text already in memory, `name` naming it in errors.
Expected<Sites> parse_coordinate_text(const std::string& name, std::string text, Index capacity);
Expected<Sites> parse_sites_text(const std::string& name, std::string text, Index capacity);

// Longitude and latitude in decimal degrees, in that order: two coordinates
// a site, every latitude from -90 to 90 (refused with its file and line).
Expected<Sites> read_longlat_file(const std::string& path, Index capacity);
Expected<Sites> parse_longlat_text(const std::string& name, std::string text, Index capacity);

}  // namespace ortelix::sites
