// Shared by both start-up probes: the one test of "this top-level window now
// shows what start-up promised", defined once per probe.
#pragma once

class QWidget;

bool benchWindowReady(QWidget* window);
