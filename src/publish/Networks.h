// SPDX-License-Identifier: GPL-3.0-or-later
// The makers of the destinations that have a section of their own in
// nimbrel.ini, one per service. Each reads its keys through the reader
// (which reports what cannot be used) and returns the destination, or null
// when it cannot run.
#pragma once

#include "Destination.h"
#include "Destinations.h"
#include "SectionReader.h"

#include <memory>

namespace nimbrel {

using NetworkFactory = std::unique_ptr<Destination> (*)(SectionReader &reader, const DestinationContext &context);

}  // namespace nimbrel
