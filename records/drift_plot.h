// SPDX-License-Identifier: MIT
// The plot of the watch's offset against the date: the readings with their
// uncertainties, the settings marked, each period's fitted line.
#pragma once
#include <string>
#include <vector>

#include "records/drift_fit.h"

// Writes the plot to file: PNG when its name ends in ".png", else SVG.
// now (seconds since 1970) is where the latest periods' lines reach.
bool plot_drift(const std::string& file, const std::vector<drift_period>& periods, double now,
                std::string& problem);
