// Mouse gestures that the window suites make as the user makes them.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QPoint>
#include <QTest>
#include <QWidget>
#include <functional>
#include <string>

#include "views/splitter.h"

// A double-click as the user makes it: a click, then the second press and its release.
inline void DoubleClick(QWidget* widget, QPoint at = {}) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, at);
}

// Drags the bar with the left button by `distance` pixels, down when positive. `during` runs
// while the button is still held.
inline void DragBar(
    TSplitter* bar, int distance, const std::function<void()>& during = [] {}) {
    const QPoint from = bar->rect().center();
    const QPoint to = from + QPoint(0, distance);
    QTest::mousePress(bar, Qt::LeftButton, {}, from);
    QTest::mouseMove(bar, to);
    during();
    QTest::mouseRelease(bar, Qt::LeftButton, {}, to);
}

// Drags the bar far below the window's bottom twice, one drag straight after the other: the
// window keeps its height, `bottom` stays inside it and `filler` is left the bar's least height.
inline void ExpectDragsToTheBottomKeepTheWindow(TSplitter* bar, const QWidget* filler,
                                                const QWidget* bottom) {
    QWidget* window = bar->window();
    QApplication::processEvents();
    const int height = window->height();
    DragBar(bar, height * 2);
    DragBar(bar, height * 2);
    QApplication::processEvents();
    const std::string name = bar->objectName().toStdString();
    EXPECT_EQ(window->height(), height) << name;
    EXPECT_TRUE(window->rect().contains(bottom->geometry())) << name;
    EXPECT_EQ(filler->height(), bar->MinSize()) << name;
}
