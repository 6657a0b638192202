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

class HttpService;

using NetworkFactory = std::unique_ptr<Destination> (*)(SectionReader &reader, const DestinationContext &context);
// A weather network over HTTP: the service alone; the HTTP network
// destination (HttpNetwork.h) drives it.
using ServiceFactory = std::unique_ptr<HttpService> (*)(SectionReader &reader, const DestinationContext &context);

// Destinations of their own kind.
std::unique_ptr<Destination> makeCwopDestination(SectionReader &reader, const DestinationContext &context);
std::unique_ptr<Destination> makeInfluxDestination(SectionReader &reader, const DestinationContext &context);

// Weather networks over HTTP.
std::unique_ptr<HttpService> makeWowService(SectionReader &reader, const DestinationContext &context);
std::unique_ptr<HttpService> makePwsweatherService(SectionReader &reader, const DestinationContext &context);
std::unique_ptr<HttpService> makeWindyService(SectionReader &reader, const DestinationContext &context);
std::unique_ptr<HttpService> makeAwekasService(SectionReader &reader, const DestinationContext &context);
std::unique_ptr<HttpService> makeWeathercloudService(SectionReader &reader, const DestinationContext &context);
std::unique_ptr<HttpService> makeOpenWeatherMapService(SectionReader &reader, const DestinationContext &context);

}  // namespace nimbrel
