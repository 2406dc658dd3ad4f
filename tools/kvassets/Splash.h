#pragma once
// The title picture and the robot previews, painted with the software rasteriser from the
// generated models and textures.

#include <map>
#include <string>

#include "assets/DebrisParts.h"
#include "assets/ModelParts.h"
#include "tools/kvassets/Image.h"

namespace kv::gen {

// Textures by resource key, as the game names them.
using TextureSet = std::map<std::string, Image>;

struct RobotPose {
    double x, z, headingDegrees, turretDegrees, scanDegrees;
    int colour;  // index into kRobotColours
};

// Draws the robot of parts (a bound template) in pose into tris.
void AddRobot(std::vector<struct RenderTri>& tris, const KvModelParts& parts, const TextureSet& textures, const RobotPose& pose);

Image SplashPicture(const KvModelParts& parts, const TextureSet& textures);
// Four views of the robot and one of its wreck, for a developer to look at.
Image ModelPreview(const KvModelParts& parts, const KvDebrisParts& debris, const TextureSet& textures);

// Draws text with the built-in 5x7 font, each font pixel a scale x scale block.
void DrawText(Image& img, int x, int y, const char* text, int scale, Rgba colour);
int TextWidth(const char* text, int scale);
// The same with a dark rim outline pixels wide.
void DrawOutlinedText(Image& img, int x, int y, const char* text, int scale, Rgba colour, int outline);

}  // namespace kv::gen
