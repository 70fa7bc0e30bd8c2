// Pen-plotter style drawing primitives that write a PostScript page as plain
// text lines into the job's plot file (d.plot).  Positions and sizes are in
// centimetres of the drawing; every line is written at once.  The only state
// is that of the PostScript interpreter (colour, dash, font, line width,
// translation).  With no plot file open the primitives write nothing.
#pragma once

#include <span>
#include <string_view>

#include "driver/job_state.h"

namespace korva {

// Points per centimetre.
constexpr float pt_per_cm = 28.34645f;

// Prolog: "%!", the procedures m l s st rl, and the landscape page setup.
void plots(intensity_data& d);

// pen 3 moves, pen 2 draws and strokes, pen 999 ends the page and the file.
void plot(intensity_data& d, float x, float y, int32 pen);

// The first count characters of text at (x, y), turned by angle when > 0.
void symbol(intensity_data& d, float x, float y, float height, std::string_view text, float angle, int32 count);

// value at (x, y): form w*10+d gives Fw.d, form <= 0 the nearest integer.
void number(intensity_data& d, float x, float y, float height, float value, float angle, int32 form);

// Colour: 0 black, 1 red, 2 green, 3 blue.
void newpen(intensity_data& d, int32 colour);

// Outline of the rectangle xmin..xmax, ymin..ymax; line width 0.5 from here on.
void frame(intensity_data& d, int32 code, float xmin, float xmax, float ymin, float ymax);

// Polyline through (1 + (i-1)*dx, y(i)), i = 1..n.
void line(intensity_data& d, float dx, std::span<const float> y, int32 n);

// The same moved by shift steps, skipping values at the missing mark 1.0e20.
void line2(intensity_data& d, float dx, std::span<const float> y, int32 shift, int32 n);

// Polyline through (x(i), y(i)), split once where x jumps by more than 0.8*dx.
void line1(intensity_data& d, std::span<const float> x, std::span<const float> y, float dx, int32 n);

// Horizontal axis with its label, 21 ticks 1 cm apart and values every 5 cm.
void axis(intensity_data& d, float x0, float y0, std::string_view label, int32 count, float length, float angle,
          float first, float step);

// Dash pattern: 0 solid, 1 long dashes, 2 short dashes, 3 dash-dot.
void dash(intensity_data& d, int32 code);

// Font of the given name (20 characters) and size in cm.
void fonts(intensity_data& d, float size, std::string_view name);

// Moves the origin by (x, y).
void transl(intensity_data& d, float x, float y);

}  // namespace korva
