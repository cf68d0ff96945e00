// SPDX-License-Identifier: MIT
#include "kit/ui/Geometry.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kit;

TEST(Geometry, ContainsIsHalfOpenAtTheMaximumEdges)
{
    Rect r { 10, 20, 30, 40 };
    EXPECT_TRUE(r.contains(Point { 10, 20 }));
    EXPECT_TRUE(r.contains(Point { 39.999, 59.999 }));
    EXPECT_FALSE(r.contains(Point { 40, 30 }));
    EXPECT_FALSE(r.contains(Point { 20, 60 }));
    EXPECT_FALSE(r.contains(Point { 9.999, 30 }));
}

TEST(Geometry, NegativeSizesAreStandardized)
{
    Rect r { 50, 50, -20, -10 };
    EXPECT_DOUBLE_EQ(r.minX(), 30);
    EXPECT_DOUBLE_EQ(r.maxX(), 50);
    EXPECT_DOUBLE_EQ(r.minY(), 40);
    EXPECT_TRUE(r.contains(Point { 35, 45 }));
    EXPECT_EQ(r.standardized(), (Rect { 30, 40, 20, 10 }));
}

TEST(Geometry, IntersectionOfTouchingOrDisjointRectsIsEmpty)
{
    Rect a { 0, 0, 10, 10 };
    EXPECT_TRUE(a.intersection({ 10, 0, 5, 5 }).isEmpty());
    EXPECT_TRUE(a.intersection({ 20, 20, 5, 5 }).isEmpty());
    EXPECT_EQ(a.intersection({ 5, -5, 10, 10 }), (Rect { 5, 0, 5, 5 }));
    EXPECT_FALSE(a.intersects({ 10, 10, 1, 1 }));
}

TEST(Geometry, UnionIgnoresEmptyRects)
{
    Rect a { 10, 10, 5, 5 };
    EXPECT_EQ(a.united({}), a);
    EXPECT_EQ(Rect {}.united(a), a);
    EXPECT_EQ(a.united({ 0, 0, 1, 1 }), (Rect { 0, 0, 15, 15 }));
}

TEST(Geometry, InsetsShrinkAndNegativeInsetsGrow)
{
    Rect r { 0, 0, 100, 50 };
    EXPECT_EQ(r.insetBy(10, 5), (Rect { 10, 5, 80, 40 }));
    EXPECT_EQ(r.insetBy(-10, 0), (Rect { -10, 0, 120, 50 }));
    EXPECT_EQ(r.inset({ 1, 2, 3, 4 }), (Rect { 2, 1, 94, 46 }));
    EXPECT_EQ((Rect { 0.5, 0.2, 1, 1 }).integral(), (Rect { 0, 0, 2, 2 }));
}

TEST(Geometry, RotationTurnsClockwiseOnScreen)
{
    // A quarter turn takes the x axis onto the y axis (downwards).
    auto t = AffineTransform::rotation(M_PI / 2);
    Point p = t.apply(Point { 1, 0 });
    EXPECT_NEAR(p.x, 0, 1e-12);
    EXPECT_NEAR(p.y, 1, 1e-12);
    Point q = AffineTransform::rotation(-M_PI / 2).apply(Point { 1, 0 });
    EXPECT_NEAR(q.y, -1, 1e-12);
}

TEST(Geometry, ConcatenationAppliesTheFirstTransformFirst)
{
    auto moveThenScale = AffineTransform::translation(10, 0).concatenated(AffineTransform::scale(2, 2));
    EXPECT_EQ(moveThenScale.apply(Point { 1, 1 }), (Point { 22, 2 }));
    auto scaleThenMove = AffineTransform::scale(2, 2).concatenated(AffineTransform::translation(10, 0));
    EXPECT_EQ(scaleThenMove.apply(Point { 1, 1 }), (Point { 12, 2 }));
}

TEST(Geometry, InverseUndoesAndSingularStaysPut)
{
    auto t = AffineTransform::rotation(0.7)
                 .concatenated(AffineTransform::translation(3, -4))
                 .concatenated(AffineTransform::scale(2, 0.5));
    Point p { 12.5, -7 };
    Point back = t.inverted().apply(t.apply(p));
    EXPECT_NEAR(back.x, p.x, 1e-9);
    EXPECT_NEAR(back.y, p.y, 1e-9);
    auto singular = AffineTransform::scale(0, 1);
    EXPECT_FALSE(singular.isInvertible());
    EXPECT_EQ(singular.inverted(), singular);
}

TEST(Geometry, RectThroughRotationIsTheBoundingBox)
{
    Rect r { -10, -5, 20, 10 };
    Rect turned = AffineTransform::rotation(-M_PI / 2).apply(r);
    EXPECT_NEAR(turned.width(), 10, 1e-9);
    EXPECT_NEAR(turned.height(), 20, 1e-9);
    EXPECT_NEAR(turned.midX(), 0, 1e-9);
}
