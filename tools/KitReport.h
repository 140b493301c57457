#pragma once

#include <string>
#include <vector>

#include "UpdateKit.h"

// What a kit would install, checked without any device: the same checks the update worker
// makes before it sends its first word.
struct KitReport {
    KitOutcome outcome = KitOutcome::Missing;
    bool hasIpl = false;
    bool iplMatches = false;
    std::vector<std::string> lines;    // a description for people, one line each
    std::vector<std::string> problems; // empty when the kit can be flashed
    // What the wizard's update page shows for the same problems, word for word, so that a
    // reader of the wizard's documentation recognises them.
    std::vector<std::string> wizardTexts;
};

KitReport DescribeKit(const ImageRecord& ipl, const ImageRecord& update, KitOutcome outcome);
