// SPDX-License-Identifier: GPL-3.0-or-later
// The Citizen Weather Observer Program over APRS-IS: what one record becomes
// on the wire, the login line, what the server's login answer means, and
// when packets go out. Pure functions of their arguments: no clock, no
// network.
//
// A packet, one line:
//
//   CW1234>APRS,TCPIP*:@071407z4903.50N/07201.75W_225/010g020t077r027p100P271h80b10132Nimbrel-1.4
//
// @ddhhmmz   the record's day, hour and minute in UTC
// ddmm.hhN   latitude, degrees and minutes with hundredths (N or S);
// dddmm.hhW  longitude (E or W), "/" and "_" between: the weather symbol
// ddd/sss    wind direction in degrees (360 for a north wind, 000 when calm)
//            and mean speed in mph
// gGGG       gust in mph; tTTT temperature in °F (-01..-99 below zero);
// rRRR pPPP PPPP  rain of the last hour, of the last 24 hours and since
//            local midnight, in hundredths of an inch
// hHH        relative humidity, 00 for 100 %; bBBBBB sea-level pressure in
//            tenths of hPa
// A value without a reading is dots of the field's width ("t...", "h..").
// The program's name and version close the line.
#pragma once

#include "CurrentConditions.h"
#include "Destination.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace nimbrel {

// CWOP's own rotating address of its APRS-IS servers, and their port for
// stations that only send.
inline constexpr char kCwopServer[] = "cwop.aprs.net";
inline constexpr int kCwopPort = 14580;
// CWOP dates a packet on arrival and hands its readings on as the weather of
// that quarter hour: a record older than 15 minutes is never sent.
inline constexpr qint64 kCwopStaleSecs = 15 * 60;
// The least time between two packets CWOP asks for, and the default.
inline constexpr int kCwopMinIntervalMinutes = 5;
inline constexpr int kCwopDefaultIntervalMinutes = 10;

struct CwopSettings {
    QString stationId;  // upper case: "CW1234", "EW12345", "DL1ABC-13"
    int passcode = -1;  // -1: none (CWOP stations without a licence)
    QString server = QString::fromLatin1(kCwopServer);
    int port = kCwopPort;
    int intervalMinutes = kCwopDefaultIntervalMinutes;
    int outdoorChannel = 1;   // 1..5
    QString softwareVersion;  // "1.4.0"
};

// The shape a station ID must have: a callsign with an optional SSID, or a
// CWOP number (letters and digits, 3 to 9 characters, at least one digit).
extern const char kCwopStationIdPattern[];

// The packet of `c` at `position` (signed degrees), without the line end.
QByteArray cwopPacket(const CwopSettings &settings, const CurrentConditions &c, const GeoPosition &position);

// "user CW1234 pass -1 vers nimbrel 1.4.0\r\n".
QByteArray cwopLogin(const CwopSettings &settings);

// A position CWOP can place: finite, within ±90° and ±180°, and not 0°/0°
// (the position of a station whose location was never set).
bool cwopPositionUsable(const GeoPosition &position);

enum class CwopLogin {
    NotYet,    // not the login answer (a comment, the banner)
    Accepted,  // verified, or unverified without a passcode
    Refused,   // any other answer: wrong passcode, callsign refused
};

// What one line of the server means after the login was sent.
CwopLogin cwopLoginAnswer(const QByteArray &line, int passcode);

// The first send time at or after `earliestMs` (ms since the epoch): every
// `slotMs` at `offsetMs` into the slot.
qint64 cwopNextSlot(qint64 earliestMs, qint64 slotMs, qint64 offsetMs);

// How far into each five-minute slot this station sends, in ms: between
// 1:00 and 3:59, fixed for a station ID, so that stations spread over the
// slot and none sends on the five-minute boundaries the servers are busy at.
qint64 cwopSlotOffsetMs(const QString &stationId);

}  // namespace nimbrel
