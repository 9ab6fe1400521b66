// SPDX-License-Identifier: MIT
// Retained-path vector drawing onto an image. One output is open at a time.
// Coordinates: pixel column i spans i to i + 1; y grows downwards.
#pragma once
#include <cstdint>

constexpr uint32_t StrokeRoundCaps = 16;   // round line and dash caps
constexpr uint32_t StrokeSquareCaps = 32;  // when 16 is clear; neither: flat
constexpr uint32_t StrokeRoundJoins = 64;
constexpr uint32_t StrokeBevelJoins = 128;  // when 64 is clear; neither: mitred
constexpr uint32_t PaintKeepPath = 8;

int CanvasForImage(int image, int unit);  // unit 1 = pixel; 0 for an invalid image
int BeginVector(int target);             // 0 on failure
double CanvasWidth();
double CanvasHeight();
void ScaleAxes(double sx, double sy);          // prepended to the transform
void ShiftOrigin(double dx, double dy);        // prepended
void TurnAbout(double x, double y, double degrees);  // clockwise on screen
void SetPaint(uint32_t rgba);  // red in the low byte, alpha in the high byte
void PushState();
void PopState();
void PathMoveTo(double x, double y);
void PathLineTo(double x, double y);
void PathCubicTo(double x1, double y1, double x2, double y2, double x3, double y3);
void PathRect(double x, double y, double w, double h);
void PathEllipseArc(double x, double y, double rx, double ry, double start, double end);
void StrokeCurrentPath(double width, uint32_t flags);
void DashCurrentPath(double width, double period, uint32_t flags);
void FillCurrentPath(uint32_t flags = 0);  // even-odd
void EndVector();
