// The services table that a program built on the widgets hands to its application class:
// the font engine with its gamma tables, and the plain backdrop as default window content.
#pragma once
#include "AppServices.h"

const CAppServices* GetWidgetServices();
