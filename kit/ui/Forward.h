// SPDX-License-Identifier: MIT
#pragma once

namespace kit {
struct Point;
struct Size;
struct Rect;
struct EdgeInsets;
struct AffineTransform;
struct Color;
struct Touch;
class View;
class Window;
class StatusBarWindow;
class StatusBarBatteryItemView;
class Application;
class ApplicationDelegate;
class ViewController;
class TransitionCoordinator;
class GraphicsContext;
class Animator;
class Font;
class Image;
class ImageView;
class Label;
class Button;
class VisualEffectView;
class AttributedString;
struct TextAttributes;
class TextLayout;
// Built on the view layer elsewhere in this folder.
class ScrollView;
class TableView;
class TableViewCell;
class IndexPath;
class NavigationController;
class NavigationBar;
class TabBar;
class TabBarController;
class SegmentedControl;
class AlertController;
} // namespace kit
