// Inside the map module: the web profile the map page is made on. Public tile servers
// (OpenStreetMap's tile usage policy among them) ask a program to name itself in its
// requests, to send a Referer and to keep what it fetched in a cache; Chromium's default
// profile, for a page from qrc:, sends a browser's User-Agent and no Referer, and such
// requests may get "access blocked" tiles. Only the module sees this header. GUI thread only.
#pragma once

class QWebEngineProfile;

// The map's profile, made at the first call and kept for the rest of the run (the
// application object owns it; call only once QApplication exists): User-Agent
// "Roadkeep/<version>", a Referer on every http(s) request and an HTTP cache on disk in
// $XDG_CACHE_HOME/roadkeep/map.
QWebEngineProfile* MapProfile();
