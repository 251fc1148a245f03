#pragma once
namespace window {
// Lets every markup view draw the built-in pictures: -1 .. -23 from the
// image list (15 x 15), -100 the service logo at its own size.
void InstallStaticImages();
}  // namespace window
